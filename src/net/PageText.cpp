#include "net/PageText.h"

#include <libxml/HTMLparser.h>
#include <libxml/parser.h>

#include <climits>
#include <cstring>
#include <mutex>
#include <unordered_set>
#include <vector>

#include "base/TextCodec.h"

namespace varnet {

namespace {

const std::unordered_set<std::string>& blockElements() {
    static const std::unordered_set<std::string> names = {
        "address", "article", "aside",  "blockquote", "body", "caption", "center",   "dd",
        "details", "dialog",  "dir",    "div",        "dl",   "dt",      "fieldset", "figcaption",
        "figure",  "footer",  "form",   "h1",         "h2",   "h3",      "h4",       "h5",
        "h6",      "header",  "hgroup", "hr",         "html", "legend",  "li",       "main",
        "menu",    "nav",     "ol",     "p",          "pre",  "section", "summary",  "table",
        "tbody",   "tfoot",   "thead",  "tr",         "ul"};
    return names;
}

bool hidden(const std::string& name) {
    return name == "head" || name == "script" || name == "style" || name == "noscript" ||
           name == "template";
}

// Collects visible text the way a browser lays it out: white space between
// words collapses to one blank, and breaks, tabs and blanks wait until the
// next visible character so that nothing trails or repeats.
class TextBuilder {
  public:
    void text(const char* s, bool preformatted) {
        for (const char* c = s; *c; ++c) {
            const bool space = *c == ' ' || *c == '\t' || *c == '\n' || *c == '\r' || *c == '\f';
            if (preformatted) {
                flush();
                out_ += *c == '\r' ? '\n' : *c;
            } else if (space) {
                space_ = true;
            } else {
                flush();
                out_ += *c;
            }
        }
    }
    void lineBreak() {
        if (!out_.empty()) break_ = true;
    }
    void hardBreak() {
        out_ += '\n';
        break_ = tab_ = space_ = false;
    }
    void tab() {
        if (!out_.empty()) tab_ = true;
    }
    std::string take() { return std::move(out_); }

  private:
    void flush() {
        if (break_ && !out_.empty() && out_.back() != '\n')
            out_ += '\n';
        else if (tab_ && !break_)
            out_ += '\t';
        else if (space_ && !break_ && !out_.empty() && out_.back() != '\n' && out_.back() != '\t')
            out_ += ' ';
        break_ = tab_ = space_ = false;
    }

    std::string out_;
    bool break_ = false, tab_ = false, space_ = false;
};

}  // namespace

std::string PageText::fromHtml(std::string_view html) {
    static std::once_flag init;
    std::call_once(init, [] { xmlInitParser(); });

    // The bytes are decoded here and the page's own charset hint ignored: a
    // wrong or missing hint must not turn the Chinese marker into noise.
    const std::string utf8 = TextCodec::decodeFile(html);
    if (utf8.size() > INT_MAX) return {};
    htmlDocPtr doc = htmlReadMemory(utf8.data(), static_cast<int>(utf8.size()), nullptr, "UTF-8",
                                    HTML_PARSE_RECOVER | HTML_PARSE_NONET | HTML_PARSE_NOERROR |
                                        HTML_PARSE_NOWARNING | HTML_PARSE_IGNORE_ENC);
    if (!doc) return {};

    TextBuilder out;
    // An explicit stack: a page nested thousands of levels deep must not
    // exhaust the call stack.
    struct Frame {
        xmlNodePtr node;
        bool leaving;
    };
    std::vector<Frame> stack;
    std::vector<int> rowCells;  // cells seen in each open table row
    int preformatted = 0;
    // Children are pushed in reverse so that they come off in order.
    const auto pushChildren = [&stack](xmlNodePtr parent) {
        std::vector<xmlNodePtr> children;
        for (xmlNodePtr c = parent->children; c; c = c->next) children.push_back(c);
        for (auto it = children.rbegin(); it != children.rend(); ++it)
            stack.push_back({*it, false});
    };
    pushChildren(reinterpret_cast<xmlNodePtr>(doc));
    while (!stack.empty()) {
        const Frame f = stack.back();
        stack.pop_back();
        xmlNodePtr n = f.node;
        if (n->type == XML_TEXT_NODE || n->type == XML_CDATA_SECTION_NODE) {
            if (n->content) out.text(reinterpret_cast<const char*>(n->content), preformatted > 0);
            continue;
        }
        if (n->type != XML_ELEMENT_NODE || !n->name) continue;
        const std::string name = reinterpret_cast<const char*>(n->name);
        const bool block = blockElements().count(name) > 0;
        if (f.leaving) {
            if (block) out.lineBreak();
            if (name == "pre") --preformatted;
            if (name == "tr" && !rowCells.empty()) rowCells.pop_back();
            continue;
        }
        if (hidden(name)) continue;
        if (name == "br") {
            out.hardBreak();
            continue;
        }
        if (block) out.lineBreak();
        if (name == "pre") ++preformatted;
        if (name == "tr") rowCells.push_back(0);
        if ((name == "td" || name == "th") && !rowCells.empty() && rowCells.back()++ > 0) out.tab();
        stack.push_back({n, true});
        pushChildren(n);
    }
    xmlFreeDoc(doc);
    return out.take();
}

}  // namespace varnet
