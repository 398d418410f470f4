#include "net/QtFetcher.h"

#include <QByteArray>
#include <QEventLoop>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTimer>
#include <QUrl>

namespace varnet {

namespace {

Fetcher::Result failed(std::string reason, int status = 0) {
    Fetcher::Result r;
    r.reason = std::move(reason);
    r.httpStatus = status;
    return r;
}

Fetcher::Result cancelledResult() {
    Fetcher::Result r = failed("已取消");
    r.cancelled = true;
    return r;
}

std::string reasonOf(QNetworkReply::NetworkError error, const QString& text) {
    switch (error) {
        case QNetworkReply::ConnectionRefusedError:
            return "无法连接服务器（连接被拒绝）";
        case QNetworkReply::HostNotFoundError:
            return "找不到服务器";
        case QNetworkReply::TimeoutError:
        case QNetworkReply::OperationCanceledError:
            return "连接超时";
        case QNetworkReply::RemoteHostClosedError:
            return "连接被服务器中断，内容不完整";
        case QNetworkReply::TooManyRedirectsError:
            return "重定向次数过多";
        case QNetworkReply::InsecureRedirectError:
            return "服务器重定向到了不安全的地址";
        case QNetworkReply::SslHandshakeFailedError:
            return "安全连接（SSL）失败";
        case QNetworkReply::ProtocolUnknownError:
        case QNetworkReply::ProtocolInvalidOperationError:
            return "不支持的地址";
        default:
            return "网络错误：" + text.toStdString();
    }
}

}  // namespace

Fetcher::Result QtFetcher::get(const std::string& url, const Limits& limits) {
    if (cancelled_) return cancelledResult();
    const QUrl address(QString::fromStdString(url), QUrl::StrictMode);
    const QString scheme = address.scheme().toLower();
    // Nothing but the web: a file: or other address in a setting must not
    // read local files.
    if (!address.isValid() || (scheme != "http" && scheme != "https") || address.host().isEmpty())
        return failed("地址无效：" + url);

    QNetworkAccessManager manager;
    QNetworkRequest request(address);
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                         QNetworkRequest::NoLessSafeRedirectPolicy);
    request.setMaximumRedirectsAllowed(limits.maxRedirects);
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute,
                         QNetworkRequest::AlwaysNetwork);
    QNetworkReply* reply = manager.get(request);
    {
        std::lock_guard lock(mutex_);
        running_ = reply;
    }

    QByteArray body;
    bool tooLarge = false, timedOut = false;
    const auto limit = limits.maxBytes;
    QEventLoop loop;
    QObject::connect(reply, &QNetworkReply::metaDataChanged, reply, [&] {
        const QVariant length = reply->header(QNetworkRequest::ContentLengthHeader);
        if (length.isValid() && length.toLongLong() > limit) {
            tooLarge = true;
            reply->abort();
        }
    });
    QObject::connect(reply, &QNetworkReply::readyRead, reply, [&] {
        // A body is read as it arrives, so an endless one stops at the limit.
        body += reply->readAll();
        if (body.size() > limit) {
            tooLarge = true;
            reply->abort();
        }
    });
    QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    QTimer timer;
    timer.setSingleShot(true);
    QObject::connect(&timer, &QTimer::timeout, reply, [&] {
        timedOut = true;
        reply->abort();
    });
    timer.start(limits.timeoutMs);
    // A cancel() that came before `running_` was set finds the flag here.
    if (cancelled_) reply->abort();
    if (!reply->isFinished()) loop.exec();
    {
        std::lock_guard lock(mutex_);
        running_ = nullptr;
    }
    if (!tooLarge && !timedOut && reply->isOpen()) body += reply->readAll();

    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (cancelled_) return cancelledResult();
    if (timedOut) return failed("连接超时", status);
    if (tooLarge || body.size() > limit) return failed("页面超过大小限制", status);
    const auto error = reply->error();
    if (error == QNetworkReply::TooManyRedirectsError ||
        error == QNetworkReply::InsecureRedirectError)
        return failed(reasonOf(error, reply->errorString()), status);
    if (status >= 300) return failed("HTTP " + std::to_string(status), status);
    if (error != QNetworkReply::NoError)
        return failed(reasonOf(reply->error(), reply->errorString()), status);
    Result r;
    r.ok = true;
    r.httpStatus = status;
    r.bytes.assign(body.constData(), static_cast<std::size_t>(body.size()));
    return r;
}

void QtFetcher::cancel() {
    cancelled_ = true;
    std::lock_guard lock(mutex_);
    if (running_) QMetaObject::invokeMethod(running_, &QNetworkReply::abort, Qt::QueuedConnection);
}

void QtFetcher::reset() { cancelled_ = false; }

}  // namespace varnet
