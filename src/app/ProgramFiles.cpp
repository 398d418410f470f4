#include "app/ProgramFiles.h"

#include <QDir>
#include <QFileInfo>

#include "app/BuildInfo.h"

namespace varnet {

QString ProgramFiles::find(const QString& executableDir, const QString& name) {
    const QDir bin(executableDir);
    for (const QString& candidate :
         {bin.filePath(name),
          QDir::cleanPath(bin.filePath(QString::fromUtf8(build::kShareFromBin) + '/' + name))}) {
        if (QFileInfo(candidate).isFile()) return candidate;
    }
    return {};
}

}  // namespace varnet
