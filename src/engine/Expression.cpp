#include "engine/Expression.h"

#include <cctype>
#include <charconv>
#include <cmath>

#include "base/ParameterNames.h"

namespace varnet {

namespace {

// Deeper nesting is no formula anyone writes; the limit keeps the recursive
// parser off the end of the stack.
constexpr int kMaxNesting = 200;
// Constants above 2^53 are no longer exact as doubles.
constexpr double kMaxConstant = 9007199254740992.0;
// The sum shape is kept for constants the search kernel can carry.
constexpr std::int64_t kMaxSumConstant = 1000000000;

struct Token {
    enum Kind { End, Number, Name, Mod, Plus, Minus, Star, Slash, Open, Close, Bad };
    Kind kind = End;
    std::string_view text;
    std::size_t at = 0;  // 0-based offset
};

// What a subexpression is, for recognising plain sums of parameters.
struct Shape {
    bool sum = true;  // parameters and integer constants joined by + (and - constant)
    std::vector<int> params;
    std::int64_t constant = 0;
    bool isConstant = false;  // a lone constant, possibly negated
};

class Parser {
  public:
    explicit Parser(std::string_view text) : text_(text) { next(); }

    ParseResult run() {
        ParseResult r;
        Program p;
        Shape shape;
        if (!expression(p, shape, 0)) {
            r.error = error_;
            return r;
        }
        if (tok_.kind != Token::End) {
            r.error = unexpected();
            return r;
        }
        p.maxDepth = maxDepth_;
        if (shape.sum && !shape.params.empty() && std::llabs(shape.constant) <= kMaxSumConstant) {
            p.paramSum = true;
            p.sumParams = std::move(shape.params);
            p.sumConstant = shape.constant;
        }
        r.program = std::move(p);
        return r;
    }

  private:
    void next() {
        while (pos_ < text_.size() && text_[pos_] == ' ') ++pos_;
        tok_ = Token{};
        tok_.at = pos_;
        if (pos_ >= text_.size()) return;
        const char c = text_[pos_];
        auto single = [&](Token::Kind k) {
            tok_.kind = k;
            tok_.text = text_.substr(pos_, 1);
            ++pos_;
        };
        if (std::isdigit(static_cast<unsigned char>(c))) {
            std::size_t e = pos_;
            while (e < text_.size() && std::isdigit(static_cast<unsigned char>(text_[e]))) ++e;
            tok_.kind = Token::Number;
            tok_.text = text_.substr(pos_, e - pos_);
            pos_ = e;
        } else if (std::isalpha(static_cast<unsigned char>(c)) || c == '[') {
            // A bracketed column name, [L1A], is the same name.
            const bool bracket = c == '[';
            std::size_t b = bracket ? pos_ + 1 : pos_;
            std::size_t e = b;
            while (e < text_.size() && std::isalnum(static_cast<unsigned char>(text_[e]))) ++e;
            if (bracket && (e == b || e >= text_.size() || text_[e] != ']')) {
                single(Token::Bad);
                return;
            }
            tok_.text = text_.substr(b, e - b);
            pos_ = bracket ? e + 1 : e;
            const bool isMod = !bracket && tok_.text.size() == 3 &&
                               std::toupper(static_cast<unsigned char>(tok_.text[0])) == 'M' &&
                               std::toupper(static_cast<unsigned char>(tok_.text[1])) == 'O' &&
                               std::toupper(static_cast<unsigned char>(tok_.text[2])) == 'D';
            tok_.kind = isMod ? Token::Mod : Token::Name;
        } else {
            switch (c) {
                case '+':
                    single(Token::Plus);
                    break;
                case '-':
                    single(Token::Minus);
                    break;
                case '*':
                    single(Token::Star);
                    break;
                case '/':
                    single(Token::Slash);
                    break;
                case '(':
                    single(Token::Open);
                    break;
                case ')':
                    single(Token::Close);
                    break;
                default: {
                    // One whole UTF-8 character, so the message shows it intact.
                    std::size_t e = pos_ + 1;
                    while (e < text_.size() &&
                           (static_cast<unsigned char>(text_[e]) & 0xC0) == 0x80)
                        ++e;
                    tok_.kind = Token::Bad;
                    tok_.text = text_.substr(pos_, e - pos_);
                    pos_ = e;
                }
            }
        }
    }

    std::string unexpected() const {
        if (tok_.kind == Token::End) return "公式不完整：缺少运算数或右括号";
        if (tok_.kind == Token::Bad)
            return "公式含有无法识别的字符“" + std::string(tok_.text) + "”（第 " +
                   std::to_string(tok_.at + 1) + " 个字符）";
        return "公式语法错误：第 " + std::to_string(tok_.at + 1) + " 个字符处的“" +
               std::string(tok_.text) + "”";
    }

    bool fail(std::string message) {
        if (error_.empty()) error_ = std::move(message);
        return false;
    }

    void emit(Program& p, Op op, int depthChange) {
        p.ops.push_back(op);
        depth_ += depthChange;
        if (depth_ > maxDepth_) maxDepth_ = depth_;
    }

    // expression := mod (('+' | '-') mod)*
    bool expression(Program& p, Shape& shape, int nesting) {
        if (!modulo(p, shape, nesting)) return false;
        while (tok_.kind == Token::Plus || tok_.kind == Token::Minus) {
            const bool minus = tok_.kind == Token::Minus;
            next();
            Shape rhs;
            if (!modulo(p, rhs, nesting)) return false;
            emit(p, Op{minus ? Op::Sub : Op::Add}, -1);
            if (minus) {
                // Only a constant may be taken away and keep the sum shape.
                shape.sum = shape.sum && rhs.sum && rhs.isConstant;
                shape.constant -= rhs.constant;
            } else {
                shape.sum = shape.sum && rhs.sum;
                shape.params.insert(shape.params.end(), rhs.params.begin(), rhs.params.end());
                shape.constant += rhs.constant;
            }
            shape.isConstant = false;
            if (std::llabs(shape.constant) > kMaxSumConstant) shape.sum = false;
        }
        return true;
    }

    // mod := term ('MOD' term)*
    bool modulo(Program& p, Shape& shape, int nesting) {
        if (!term(p, shape, nesting)) return false;
        while (tok_.kind == Token::Mod) {
            next();
            Shape rhs;
            if (!term(p, rhs, nesting)) return false;
            emit(p, Op{Op::Mod}, -1);
            shape.sum = false;
        }
        return true;
    }

    // term := unary (('*' | '/') unary)*
    bool term(Program& p, Shape& shape, int nesting) {
        if (!unary(p, shape, nesting)) return false;
        while (tok_.kind == Token::Star || tok_.kind == Token::Slash) {
            const bool div = tok_.kind == Token::Slash;
            next();
            Shape rhs;
            if (!unary(p, rhs, nesting)) return false;
            emit(p, Op{div ? Op::Div : Op::Mul}, -1);
            shape.sum = false;
        }
        return true;
    }

    // unary := ('-' | '+') unary | primary
    bool unary(Program& p, Shape& shape, int nesting) {
        if (tok_.kind == Token::Minus || tok_.kind == Token::Plus) {
            const bool minus = tok_.kind == Token::Minus;
            next();
            if (nesting + 1 > kMaxNesting) return fail("公式嵌套过深");
            if (!unary(p, shape, nesting + 1)) return false;
            if (minus) {
                emit(p, Op{Op::Neg}, 0);
                shape.sum = shape.sum && shape.isConstant;
                shape.constant = -shape.constant;
            }
            return true;
        }
        return primary(p, shape, nesting);
    }

    bool primary(Program& p, Shape& shape, int nesting) {
        switch (tok_.kind) {
            case Token::Number: {
                double v = 0;
                for (char c : tok_.text) v = v * 10 + (c - '0');
                if (!(v <= kMaxConstant)) return fail("常数 " + std::string(tok_.text) + " 过大");
                Op op{Op::Const};
                op.value = v;
                emit(p, op, +1);
                shape.isConstant = true;
                shape.constant = v <= static_cast<double>(kMaxSumConstant)
                                     ? static_cast<std::int64_t>(v)
                                     : kMaxSumConstant + 1;
                next();
                return true;
            }
            case Token::Name: {
                const int k = ParameterNames::indexOfCode(tok_.text);
                if (k == 0) return fail("未知的参数名“" + std::string(tok_.text) + "”");
                Op op{Op::Param};
                op.param = k;
                emit(p, op, +1);
                shape.params.push_back(k);
                next();
                return true;
            }
            case Token::Open: {
                if (nesting + 1 > kMaxNesting) return fail("公式括号嵌套过深");
                next();
                if (!expression(p, shape, nesting + 1)) return false;
                if (tok_.kind != Token::Close) return fail(unexpected());
                next();
                return true;
            }
            default:
                return fail(unexpected());
        }
    }

    std::string_view text_;
    std::size_t pos_ = 0;
    Token tok_;
    std::string error_;
    int depth_ = 0;
    int maxDepth_ = 0;
};

}  // namespace

ParseResult parseFormula(std::string_view code) {
    if (code.find_first_not_of(' ') == std::string_view::npos) {
        ParseResult r;
        r.error = "公式为空";
        return r;
    }
    return Parser(code).run();
}

}  // namespace varnet
