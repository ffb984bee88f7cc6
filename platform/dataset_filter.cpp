#include "dataset_filter.h"

#include <cctype>
#include <charconv>

#include "tivplatform/datetime.h"
#include "tivplatform/numbers.h"

namespace tiv::detail {
namespace {

struct Token {
    enum class Kind { End, Name, Text, Number, Op, LParen, RParen } kind = Kind::End;
    std::string text; // identifier, literal text, number or operator
    size_t pos = 0;   // 1-based column, for messages
};

std::string upperAscii(std::string_view s) {
    std::string out(s);
    for (char &c : out)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return out;
}

bool isNameStart(char c) {
    return std::isalpha(static_cast<unsigned char>(c)) || c == '_' ||
           static_cast<unsigned char>(c) >= 0x80;
}
bool isNameChar(char c) {
    return isNameStart(c) || std::isdigit(static_cast<unsigned char>(c));
}

class Parser {
  public:
    Parser(const std::string &expr, const std::vector<FieldDef> &fields,
           std::vector<Filter::Node> &nodes)
        : expr_(expr), fields_(fields), nodes_(nodes) {
        tokenize();
    }

    int parse() {
        if (tokens_.front().kind == Token::Kind::End) fail("empty expression", 1);
        const int root = parseOr();
        if (peek().kind != Token::Kind::End) fail("unexpected \"" + peek().text + "\"", peek().pos);
        return root;
    }

  private:
    [[noreturn]] void fail(const std::string &why, size_t pos) const {
        throw DataError("Invalid filter expression \"" + expr_ + "\": " + why + " at position " +
                        std::to_string(pos));
    }

    void tokenize() {
        size_t i = 0;
        const size_t n = expr_.size();
        while (i < n) {
            const char c = expr_[i];
            Token t;
            t.pos = i + 1;
            if (c == ' ' || c == '\t' || c == '\r' || c == '\n') {
                ++i;
                continue;
            }
            if (c == '\'') {
                // '' inside a quoted text is one quote.
                t.kind = Token::Kind::Text;
                ++i;
                for (;;) {
                    if (i >= n) fail("unterminated text", t.pos);
                    if (expr_[i] == '\'') {
                        if (i + 1 < n && expr_[i + 1] == '\'') {
                            t.text += '\'';
                            i += 2;
                            continue;
                        }
                        ++i;
                        break;
                    }
                    t.text += expr_[i++];
                }
            } else if (c == '[') {
                const size_t close = expr_.find(']', i);
                if (close == std::string::npos) fail("unterminated field name", t.pos);
                t.kind = Token::Kind::Name;
                t.text = expr_.substr(i + 1, close - i - 1);
                i = close + 1;
            } else if (std::isdigit(static_cast<unsigned char>(c)) ||
                       ((c == '-' || c == '.') && i + 1 < n &&
                        (std::isdigit(static_cast<unsigned char>(expr_[i + 1])) ||
                         expr_[i + 1] == '.'))) {
                t.kind = Token::Kind::Number;
                size_t j = i + 1;
                while (j < n && (std::isdigit(static_cast<unsigned char>(expr_[j])) ||
                                 expr_[j] == '.' || expr_[j] == 'e' || expr_[j] == 'E' ||
                                 ((expr_[j] == '-' || expr_[j] == '+') &&
                                  (expr_[j - 1] == 'e' || expr_[j - 1] == 'E'))))
                    ++j;
                t.text = expr_.substr(i, j - i);
                i = j;
            } else if (isNameStart(c)) {
                t.kind = Token::Kind::Name;
                size_t j = i;
                while (j < n && isNameChar(expr_[j]))
                    ++j;
                t.text = expr_.substr(i, j - i);
                i = j;
            } else if (c == '(' || c == ')') {
                t.kind = c == '(' ? Token::Kind::LParen : Token::Kind::RParen;
                t.text = std::string(1, c);
                ++i;
            } else if (c == '=' || c == '<' || c == '>') {
                t.kind = Token::Kind::Op;
                t.text = std::string(1, c);
                ++i;
                if (i < n && ((c == '<' && (expr_[i] == '>' || expr_[i] == '=')) ||
                              (c == '>' && expr_[i] == '='))) {
                    t.text += expr_[i];
                    ++i;
                }
            } else {
                fail(std::string("unexpected character '") + c + "'", t.pos);
            }
            tokens_.push_back(std::move(t));
        }
        Token end;
        end.pos = n + 1;
        tokens_.push_back(end);
    }

    const Token &peek() const { return tokens_[at_]; }
    bool isKeyword(const Token &t, const char *word) const {
        return t.kind == Token::Kind::Name && upperAscii(t.text) == word;
    }

    int add(Filter::Node node) {
        nodes_.push_back(std::move(node));
        return static_cast<int>(nodes_.size() - 1);
    }

    int parseOr() {
        int left = parseAnd();
        while (isKeyword(peek(), "OR")) {
            ++at_;
            Filter::Node n;
            n.kind = Filter::Node::Kind::Or;
            n.left = left;
            n.right = parseAnd();
            left = add(std::move(n));
        }
        return left;
    }

    int parseAnd() {
        int left = parseNot();
        while (isKeyword(peek(), "AND")) {
            ++at_;
            Filter::Node n;
            n.kind = Filter::Node::Kind::And;
            n.left = left;
            n.right = parseNot();
            left = add(std::move(n));
        }
        return left;
    }

    int parseNot() {
        if (isKeyword(peek(), "NOT")) {
            ++at_;
            Filter::Node n;
            n.kind = Filter::Node::Kind::Not;
            n.left = parseNot();
            return add(std::move(n));
        }
        if (peek().kind == Token::Kind::LParen) {
            ++at_;
            const int inner = parseOr();
            if (peek().kind != Token::Kind::RParen) fail("missing \")\"", peek().pos);
            ++at_;
            return inner;
        }
        return parseComparison();
    }

    // An operand before its type is known: a field, a quoted text, a number
    // or TRUE/FALSE.
    struct Raw {
        Token token;
        int field = -1;
        bool boolean = false;
    };

    Raw parseOperand() {
        const Token &t = peek();
        Raw r;
        r.token = t;
        switch (t.kind) {
        case Token::Kind::Text:
        case Token::Kind::Number:
            break;
        case Token::Kind::Name: {
            const std::string up = upperAscii(t.text);
            if (up == "TRUE" || up == "FALSE") {
                r.boolean = true;
                break;
            }
            if (up == "AND" || up == "OR" || up == "NOT" || up == "IS" || up == "NULL")
                fail("value expected before \"" + t.text + "\"", t.pos);
            r.field = findField(t.text);
            if (r.field < 0) fail("unknown field \"" + t.text + "\"", t.pos);
            break;
        }
        case Token::Kind::End:
            fail("value expected at the end", t.pos);
        default:
            fail("value expected before \"" + t.text + "\"", t.pos);
        }
        ++at_;
        return r;
    }

    int findField(const std::string &name) const {
        const std::string up = nameKey(name);
        for (size_t i = 0; i < fields_.size(); ++i)
            if (nameKey(fields_[i].name) == up) return static_cast<int>(i);
        return -1;
    }

    int parseComparison() {
        Raw a = parseOperand();
        if (isKeyword(peek(), "IS")) {
            ++at_;
            Filter::Node n;
            n.kind = Filter::Node::Kind::IsNull;
            if (isKeyword(peek(), "NOT")) {
                ++at_;
                n.kind = Filter::Node::Kind::IsNotNull;
            }
            if (!isKeyword(peek(), "NULL")) fail("NULL expected after IS", peek().pos);
            ++at_;
            if (a.field < 0) fail("IS NULL needs a field", a.token.pos);
            n.a.field = a.field;
            return add(std::move(n));
        }
        const Token op = peek();
        if (op.kind != Token::Kind::Op)
            fail(op.kind == Token::Kind::End ? "comparison expected at the end"
                                             : "comparison expected before \"" + op.text + "\"",
                 op.pos);
        ++at_;
        Raw b = parseOperand();

        Filter::Node n;
        n.kind = Filter::Node::Kind::Compare;
        n.op = op.text == "="    ? Filter::Op::Eq
               : op.text == "<>" ? Filter::Op::Ne
               : op.text == "<"  ? Filter::Op::Lt
               : op.text == ">"  ? Filter::Op::Gt
               : op.text == "<=" ? Filter::Op::Le
                                 : Filter::Op::Ge;
        n.mode = modeOf(a, b);
        n.a = resolve(a, n.mode);
        n.b = resolve(b, n.mode);
        return add(std::move(n));
    }

    // The comparison mode follows the field(s); two literals compare as
    // texts unless both are numbers.
    Filter::Mode modeOf(const Raw &a, const Raw &b) const {
        const Raw *f = a.field >= 0 ? &a : (b.field >= 0 ? &b : nullptr);
        if (!f) {
            if (a.boolean && b.boolean) return Filter::Mode::Boolean;
            if (a.token.kind == Token::Kind::Number && b.token.kind == Token::Kind::Number)
                return Filter::Mode::Number;
            return Filter::Mode::Text;
        }
        switch (fields_[static_cast<size_t>(f->field)].type) {
        case FieldType::String:
            return Filter::Mode::Text;
        case FieldType::Boolean:
            return Filter::Mode::Boolean;
        default:
            return Filter::Mode::Number;
        }
    }

    Filter::Operand resolve(const Raw &r, Filter::Mode mode) const {
        Filter::Operand o;
        if (r.field >= 0) {
            const FieldDef &f = fields_[static_cast<size_t>(r.field)];
            const bool fits = (mode == Filter::Mode::Text && f.type == FieldType::String) ||
                              (mode == Filter::Mode::Boolean && f.type == FieldType::Boolean) ||
                              (mode == Filter::Mode::Number && f.type != FieldType::String &&
                               f.type != FieldType::Boolean);
            if (!fits)
                fail("type mismatch: field \"" + f.name + "\" is " + fieldTypeName(f.type),
                     r.token.pos);
            o.field = r.field;
            return o;
        }
        const std::string &text = r.token.text;
        switch (mode) {
        case Filter::Mode::Text:
            if (r.token.kind != Token::Kind::Text)
                fail("type mismatch: " + text + " compared with a text", r.token.pos);
            o.literal = std::string(trimRight(text));
            break;
        case Filter::Mode::Boolean: {
            const std::string up = upperAscii(text);
            if (up != "TRUE" && up != "FALSE")
                fail("type mismatch: " + text + " is not a boolean", r.token.pos);
            o.literal = up == "TRUE";
            break;
        }
        case Filter::Mode::Number:
            o.literal = number(r);
            break;
        }
        return o;
    }

    // Unquoted numbers use '.'; a quoted one may also use the locale's
    // separator, and a quoted date or date-time reads with the locale.
    double number(const Raw &r) const {
        const std::string &text = r.token.text;
        if (r.token.kind == Token::Kind::Text || r.token.kind == Token::Kind::Number) {
            double v = 0;
            const auto *end = text.data() + text.size();
            const auto res = std::from_chars(text.data(), end, v);
            if (res.ec == std::errc() && res.ptr == end) return v;
            if (r.token.kind == Token::Kind::Text) {
                if (tryStrToFloat(text, v)) return v;
                TDateTime dt = 0;
                if (tryStrToDate(text, dt)) return dt;
                try {
                    return strToDateTime(text);
                } catch (const Error &) {
                }
            }
        }
        fail("type mismatch: '" + text + "' is not a number or date", r.token.pos);
    }

    const std::string &expr_;
    const std::vector<FieldDef> &fields_;
    std::vector<Filter::Node> &nodes_;
    std::vector<Token> tokens_;
    size_t at_ = 0;
};

bool apply(Filter::Op op, int cmp) {
    switch (op) {
    case Filter::Op::Eq:
        return cmp == 0;
    case Filter::Op::Ne:
        return cmp != 0;
    case Filter::Op::Lt:
        return cmp < 0;
    case Filter::Op::Gt:
        return cmp > 0;
    case Filter::Op::Le:
        return cmp <= 0;
    case Filter::Op::Ge:
        return cmp >= 0;
    }
    return false;
}

} // namespace

Filter::Filter(const std::string &expression, const std::vector<FieldDef> &fields) {
    Parser p(expression, fields, nodes_);
    root_ = p.parse();
}

bool Filter::matches(const Row &row) const {
    return eval(root_, row);
}

bool Filter::eval(int index, const Row &row) const {
    const Node &n = nodes_[static_cast<size_t>(index)];
    auto cell = [&](const Operand &o) -> const Cell & {
        return o.field >= 0 ? row.cells[static_cast<size_t>(o.field)] : o.literal;
    };
    switch (n.kind) {
    case Node::Kind::And:
        return eval(n.left, row) && eval(n.right, row);
    case Node::Kind::Or:
        return eval(n.left, row) || eval(n.right, row);
    case Node::Kind::Not:
        return !eval(n.left, row);
    case Node::Kind::IsNull:
        return isNull(cell(n.a));
    case Node::Kind::IsNotNull:
        return !isNull(cell(n.a));
    case Node::Kind::Compare:
        break;
    }
    const Cell &a = cell(n.a);
    const Cell &b = cell(n.b);
    if (n.mode == Mode::Text) // a null text reads as blank
        return apply(n.op, compareText(trimRight(cellText(a)), trimRight(cellText(b)), false));
    // A null number, date or boolean meets no comparison.
    if (isNull(a) || isNull(b)) return false;
    return apply(n.op, compareNumber(cellNumber(a), cellNumber(b)));
}

} // namespace tiv::detail
