// Random patterns and texts for the differential tests: patterns over a small
// alphabet restricted to constructs whose meaning is the same in this engine
// and in the reference engine, and texts that may hold line breaks.
//
// Two constructs whose meaning differs on purpose are left out: a quantifier
// on something that can match the empty string (this engine retries such a
// repetition until it consumes, the reference stops after one empty
// repetition), and a back-reference to a group that is still open (this
// engine reads the text captured so far).
#pragma once

#include <random>
#include <string>
#include <vector>

// Which line breaks a generated text may hold.
enum class LineBreaks {
    kNone,   // none at all
    kAll,    // LF, lone CR and CR LF
    kNoCrLf, // LF and lone CR, but never a CR directly before an LF
    kLfOnly, // LF only
};

class PatternGenerator {
public:
    explicit PatternGenerator(unsigned seed) : m_rng(seed) {}

    std::u16string Pattern()
    {
        m_groups = 0;
        m_closed.clear();
        bool nullable = false;
        return Alternation(0, nullable);
    }

    std::u16string Text(LineBreaks breaks = LineBreaks::kNone, int max_length = 12)
    {
        static const char16_t alphabet[] = u"aabbc1 -";
        std::u16string text;
        const int length = Pick(max_length);
        for (int i = 0; i < length; ++i) {
            if (breaks != LineBreaks::kNone && Pick(5) == 0) {
                const int kind = Pick(3);
                if (kind == 0 || breaks == LineBreaks::kLfOnly)
                    text += u'\n';
                else if (kind == 1)
                    text += u'\r';
                else
                    text += breaks == LineBreaks::kAll ? u"\r\n" : u"\r";
            } else {
                text += alphabet[Pick(8)];
            }
        }
        if (breaks == LineBreaks::kNoCrLf)
            for (std::size_t i = 0; i + 1 < text.size(); ++i)
                if (text[i] == u'\r' && text[i + 1] == u'\n')
                    text[i + 1] = u'a';
        return text;
    }

    int Pick(int n) { return n <= 0 ? 0 : std::uniform_int_distribution<int>(0, n - 1)(m_rng); }

private:
    std::u16string Alternation(int depth, bool& nullable)
    {
        std::u16string out = Sequence(depth, nullable);
        while (depth < 3 && Pick(5) == 0) {
            bool more = false;
            out += u"|" + Sequence(depth, more);
            nullable = nullable || more;
        }
        return out;
    }

    std::u16string Sequence(int depth, bool& nullable)
    {
        std::u16string out;
        nullable = true;
        const int items = 1 + Pick(3);
        for (int i = 0; i < items; ++i) {
            bool item_nullable = false;
            out += Item(depth, item_nullable);
            nullable = nullable && item_nullable;
        }
        return out;
    }

    std::u16string Item(int depth, bool& nullable)
    {
        std::u16string atom = Atom(depth, nullable);
        if (nullable || Pick(3) != 0)
            return atom;
        static const char16_t* quantifiers[] = {u"*", u"+", u"?", u"{2}", u"{1,2}", u"{0,}", u"{2,3}"};
        const int k = Pick(7);
        std::u16string q = quantifiers[k];
        nullable = k == 0 || k == 2 || k == 5;
        const int mode = Pick(4);
        if (mode == 1)
            q += u"?";
        if (mode == 2)
            q += u"+";
        return atom + q;
    }

    std::u16string Class()
    {
        static const char16_t* classes[] = {u"[ab]", u"[^a]", u"[a-b1]", u".",        u"\\w",       u"\\d",
                                            u"\\s",  u"\\W",  u"\\D",    u"\\S",      u"[^ab ]",    u"[\\d-]",
                                            u"\\n",  u"\\r",  u".",      u"[\\r\\n]", u"[^\\r\\n]", u"\\s"};
        return classes[Pick(18)];
    }

    std::u16string Fixed()
    { // fixed-length bodies for look-behind
        switch (Pick(3)) {
        case 0: return std::u16string(1, u"abc1"[Pick(4)]);
        case 1: return Class();
        default: return std::u16string(1, u"ab"[Pick(2)]) + Class();
        }
    }

    std::u16string Group(const char16_t* open, int depth, bool& nullable, bool capturing)
    {
        const int number = capturing ? ++m_groups : 0;
        std::u16string body = Alternation(depth + 1, nullable);
        if (capturing && Pick(3) == 0) {
            bool more = false;
            body += u"|" + Alternation(depth + 1, more);
            nullable = nullable || more;
        }
        if (capturing)
            m_closed.push_back(number);
        return open + body + u")";
    }

    std::u16string Atom(int depth, bool& nullable)
    {
        nullable = false;
        bool inner = false;
        const int kind = depth >= 3 ? Pick(3) : Pick(14);
        switch (kind) {
        case 0: return std::u16string(1, u"abc1 "[Pick(5)]);
        case 1: return Class();
        case 2: return std::u16string(1, u"ab"[Pick(2)]) + std::u16string(1, u"bc"[Pick(2)]);
        case 3: return Group(u"(", depth, nullable, true);
        case 4: return Group(u"(?:", depth, nullable, false);
        case 5: return Group(u"(?>", depth, nullable, false);
        case 6: nullable = true; return std::u16string(Pick(2) ? u"^" : u"$");
        case 7: nullable = true; return std::u16string(Pick(2) ? u"\\b" : u"\\B");
        case 8: nullable = true; return Group(Pick(2) ? u"(?=" : u"(?!", depth, inner, false);
        case 9: nullable = true; return (Pick(2) ? u"(?<=" : u"(?<!") + Fixed() + u")";
        case 10:
            if (!m_closed.empty()) {
                nullable = true; // the captured text may be empty
                const int number = m_closed[static_cast<std::size_t>(Pick(static_cast<int>(m_closed.size())))];
                // Wrapped, so that a following digit is never read as part of the number.
                if (number <= 9)
                    return u"(?:\\" + std::u16string(1, char16_t(u'0' + number)) + u")";
            }
            return u"a";
        case 11: nullable = true; return std::u16string(Pick(2) ? u"\\A" : u"\\z");
        default: return std::u16string(1, u"abc"[Pick(3)]);
        }
    }

    std::mt19937 m_rng;
    int m_groups = 0;
    std::vector<int> m_closed;
};
