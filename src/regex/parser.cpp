// The parser: recursive descent over the tokens, building the element tree.
// Every construct is read in a fixed way, so every text is a pattern.
#include <climits>

#include "regex/compile_util.h"
#include "regex/stack_guard.h"

bool ReadsAsNumber(const CBufferRefT<char16_t>& text, int& number)
{
    int i = 0;
    const int n = text.GetSize();
    while (i < n && IsSpace16(text[i]))
        ++i;
    int digits = 0, value = 0;
    while (i < n && IsDigit16(text[i])) {
        value = value * 10 + (text[i] - u'0');
        ++digits;
        ++i;
        if (digits > 6)
            return false;
    }
    while (i < n && IsSpace16(text[i]))
        ++i;
    if (digits == 0 || i != n)
        return false;
    number = value;
    return true;
}

bool ReadCount(const CBufferRefT<char16_t>& text, int& i, int& value)
{
    const int n = text.GetSize();
    while (i < n && IsSpace16(text[i]))
        ++i;
    int digits = 0;
    value = 0;
    while (i < n && IsDigit16(text[i])) {
        if (digits < 6)
            value = value * 10 + (text[i] - u'0');
        ++digits;
        ++i;
    }
    return digits > 0;
}

// Makes the rest of the pattern text unread: every later token is the end.
void CPatternT::EndPattern()
{
    m_scan_pos = m_pattern.GetSize();
    m_curr = m_next = m_after = PatternToken{0, true, m_scan_pos, 0};
}

// Skips literal white-space tokens.
void CPatternT::SkipWhiteSpace()
{
    while (!AtEnd() && !m_curr.meta && IsSpace16(m_curr.value))
        MoveNext();
}

// Sequences separated by "|"; a modifier group in one alternative also holds
// in the later ones (they share one copy of the flags), never outside.
ElxInterface* CPatternT::ParseAlternation(int flags)
{
    if (AtEnd())
        return GetStockElx(0);
    int local = flags;
    ElxInterface* first = ParseSequence(local);
    if (!IsMeta(u'|'))
        return first;
    CAlternativeElxT* alt = Build<CAlternativeElxT>();
    alt->m_alternatives.Push(first);
    while (IsMeta(u'|')) {
        MoveNext();
        alt->m_alternatives.Push(ParseSequence(local));
    }
    return alt;
}

// The items of the sequences being parsed share one stack (a nested
// sequence pushes above its enclosing one), so that the recursion of the
// parser, once per nesting level, keeps its frames small.
ElxInterface* CPatternT::ParseSequence(int& flags)
{
    const int first = m_sequence_items.GetSize();
    while (!AtEnd() && !IsMeta(u'|') && !IsMeta(u')')) {
        ElxInterface* item = ParseQuantified(flags);
        m_sequence_items.Push(item);
    }
    const int count = m_sequence_items.GetSize() - first;
    ElxInterface* result = nullptr;
    if (count == 0) {
        result = GetStockElx(0);
    } else if (count == 1) {
        result = m_sequence_items[first];
    } else {
        CListElxT* list = Build<CListElxT>((flags & RightToLeft) != 0);
        list->m_items.Append(m_sequence_items.GetBuffer() + first, count);
        result = list;
    }
    m_sequence_items.Restore(first);
    return result;
}

ElxInterface* CPatternT::ParseQuantified(int& flags)
{
    ElxInterface* atom = ParseAtom(flags);
    if (!m_curr.meta)
        return atom;
    int minimum = 0, maximum = 0;
    switch (m_curr.value) {
    case u'*':
        minimum = 0;
        maximum = INT_MAX;
        MoveNext();
        break;
    case u'+':
        minimum = 1;
        maximum = INT_MAX;
        MoveNext();
        break;
    case u'?':
        minimum = 0;
        maximum = 1;
        MoveNext();
        break;
    case u'{': ReadBraceCount(minimum, maximum); break;
    default: return atom;
    }
    if (maximum == 0)
        return GetStockElx(0);
    if (minimum == maximum) {
        if (IsMeta(u'?') || IsMeta(u'+'))
            MoveNext();
        return Build<CRepeatElxT>(atom, minimum);
    }
    if (IsMeta(u'?')) {
        MoveNext();
        return Build<CReluctantElxT>(atom, minimum, maximum - minimum);
    }
    if (IsMeta(u'+')) {
        MoveNext();
        return Build<CPossessiveElxT>(atom, minimum, maximum - minimum);
    }
    return Build<CGreedyElxT>(atom, minimum, maximum - minimum);
}

// "{n}", "{n,}", "{n,m}": the token values up to a "}" (8-bit values only, others
// read as 0).  Without a first number both counts are 0; a second number below
// the first counts as the first.
void CPatternT::ReadBraceCount(int& minimum, int& maximum)
{
    MoveNext(); // "{"
    CBufferT<char16_t> text;
    while (!AtEnd() && !IsMeta(u'}')) {
        text.Push(m_curr.value <= 255 ? m_curr.value : char16_t(0));
        MoveNext();
    }
    if (IsMeta(u'}'))
        MoveNext();
    minimum = maximum = 0;
    int i = 0, first = 0;
    if (!ReadCount(text, i, first))
        return;
    minimum = maximum = first;
    while (i < text.GetSize() && IsSpace16(text[i]))
        ++i;
    if (i < text.GetSize() && text[i] == u',') {
        ++i;
        int second = 0;
        if (ReadCount(text, i, second))
            maximum = second < first ? first : second;
        else
            maximum = INT_MAX;
    }
}

ElxInterface* CPatternT::ParseAtom(int& flags)
{
    if (m_curr.meta && !AtEnd()) {
        switch (m_curr.value) {
        case u')':
        case u'|': return GetStockElx(0);
        case u'$':
        case u'A':
        case u'B':
        case u'G':
        case u'Z':
        case u'^':
        case u'b':
        case u'z': return ParseAnchor(flags);
        case u'(': return ParseGroup(flags);
        case u'.':
        case u'D':
        case u'S':
        case u'W':
        case u'[':
        case u'd':
        case u's':
        case u'w': return ParseClass(flags);
        case u'\\':
        case u'g':
        case u'k': return ParseBackreference(flags);
        default: break; // a quantifier or brace where an atom was expected is a literal
        }
    }
    return ParseLiteralRun(flags);
}

// A run of literal characters (and of syntax characters that stand where an
// atom was expected).  The run ends before a character that a quantifier
// follows, so that the quantifier applies to that one character.
ElxInterface* CPatternT::ParseLiteralRun(int flags)
{
    CBufferT<char16_t> run;
    while (!AtEnd() && (!m_curr.meta || run.IsEmpty())) {
        const bool quantified =
            m_next.meta
            && (m_next.value == u'{' || m_next.value == u'?' || m_next.value == u'*' || m_next.value == u'+');
        if (quantified) {
            if (run.IsEmpty()) {
                run.Push(m_curr.value);
                MoveNext();
            }
            break;
        }
        run.Push(m_curr.value);
        MoveNext();
    }
    if (run.IsEmpty())
        return GetStockElx(0);
    return Build<CStringElxT>(run, (flags & RightToLeft) != 0, (flags & IgnoreCase) != 0);
}

// "^", "$", "\\A", "\\z", "\\Z", "\\b", "\\B" and "\\G" (an anchor only under GlobalAnchor).
ElxInterface* CPatternT::ParseAnchor(int& flags)
{
    const char16_t v = m_curr.value;
    MoveNext();
    switch (v) {
    case u'^': return Build<CBoundaryElxT>((flags & MultiLineAnchors) ? kLineStart : kTextStart, true);
    case u'$': return Build<CBoundaryElxT>((flags & MultiLineAnchors) ? kLineEnd : kTextEnd, true);
    case u'A': return Build<CBoundaryElxT>(kTextStart, true);
    case u'z': return Build<CBoundaryElxT>(kTextEnd, true);
    case u'Z': return Build<CBoundaryElxT>(kTextEndOrFinalBreak, true);
    case u'b': return Build<CBoundaryElxT>(kWordBoundary, true);
    case u'B': return Build<CBoundaryElxT>(kWordBoundary, false);
    case u'G':
        if (flags & GlobalAnchor)
            return Build<CGlobalElxT>();
        return GetStockElx(0);
    default: return GetStockElx(0);
    }
}

// Appends the token values up to terminator (or the end) to name; skips the terminator.
void CPatternT::ReadName(char16_t terminator, CBufferT<char16_t>& name)
{
    while (!AtEnd() && m_curr.value != terminator) {
        name.Push(m_curr.value);
        MoveNext();
    }
    if (!AtEnd())
        MoveNext();
}

// "\\" and up to 3 digits, or "\\k"/"\\g" with a number or a name in "<>" or "''";
// a name is resolved after parsing.
ElxInterface* CPatternT::ParseBackreference(int& flags)
{
    MoveNext(); // "\" before digits, "\g" or "\k"
    int number = 0;
    CBufferT<char16_t> name;
    bool named = false;
    if (!m_curr.meta && (m_curr.value == u'<' || m_curr.value == u'\'')) {
        const char16_t terminator = m_curr.value == u'<' ? u'>' : u'\'';
        MoveNext();
        ReadName(terminator, name);
        if (!ReadsAsNumber(name, number)) {
            number = -1;
            named = true;
        }
    } else {
        for (int digits = 0; digits < 3 && !m_curr.meta && IsDigit16(m_curr.value); ++digits) {
            number = number * 10 + (m_curr.value - u'0');
            MoveNext();
        }
    }
    CBackrefElxT* ref = Build<CBackrefElxT>(number, (flags & RightToLeft) != 0, (flags & IgnoreCase) != 0);
    if (named) {
        ref->m_name = name;
        m_named_backrefs.Push(ref);
    }
    return ref;
}

// A capturing group: opening bracket, body, closing bracket (their roles
// swapped right-to-left, where the list is walked backwards).
CListElxT* CPatternT::MakeGroupList(int number, const CBufferT<char16_t>* name, ElxInterface* body, int flags)
{
    const bool rtl = (flags & RightToLeft) != 0;
    CBracketElxT* first = Build<CBracketElxT>(number, rtl);
    CBracketElxT* last = Build<CBracketElxT>(number, !rtl);
    if (name) {
        first->m_name = *name;
        first->m_has_name = true;
        last->m_name = *name;
        last->m_has_name = true;
    }
    CListElxT* list = Build<CListElxT>(rtl);
    list->m_items.Push(first);
    list->m_items.Push(body);
    list->m_items.Push(last);
    return list;
}

// Everything that starts with "(": capturing and named groups, look-arounds,
// atomic groups, conditions, recursion and modifiers; consumes the ")".
ElxInterface* CPatternT::ParseGroup(int& flags)
{
    if (m_group_nesting >= kMaxGroupNesting || CurrentStackAddress() < ThreadStackFloor(kStackMargin)) {
        // Too deeply nested to be a pattern anyone means: the pattern ends here.
        EndPattern();
        return GetStockElx(0);
    }
    ++m_group_nesting;
    MoveNext(); // "("
    ElxInterface* elx = nullptr;
    if (!IsMeta(u'?')) {
        const int number = ++m_max_number;
        ElxInterface* body = ParseAlternation(flags);
        CListElxT* group = MakeGroupList(number, nullptr, body, flags);
        m_groups.Prepare(number, nullptr);
        m_groups[number] = group;
        elx = group;
    } else {
        MoveNext(); // "?"
        const char16_t v = m_curr.value;
        if (m_curr.meta && v == u'(') {
            elx = ParseConditional(flags);
        } else if (!m_curr.meta && (v == u'=' || v == u'!')) {
            MoveNext();
            elx = Build<CAssertElxT>(ParseAlternation(flags & ~RightToLeft), v == u'=');
        } else if (!m_curr.meta && v == u'<' && !m_next.meta && (m_next.value == u'=' || m_next.value == u'!')) {
            const bool positive = m_next.value == u'=';
            MoveNext();
            MoveNext();
            elx = Build<CAssertElxT>(ParseAlternation(flags | RightToLeft), positive);
        } else if (!m_curr.meta && (v == u'<' || v == u'\'')) {
            MoveNext();
            elx = ParseNamedGroup(flags, v == u'<' ? u'>' : u'\'');
        } else if (!m_curr.meta && v == u'P') {
            MoveNext();
            const char16_t opener = m_curr.value;
            MoveNext();
            elx = ParseNamedGroup(flags, opener == u'\'' ? u'\'' : u'>');
        } else if (!m_curr.meta && v == u'>') {
            MoveNext();
            elx = Build<CIndependentElxT>(ParseAlternation(flags));
        } else if (!m_curr.meta && v == u'R') {
            MoveNext();
            elx = ParseRecursion();
        } else {
            SkipWhiteSpace();
            if (!m_curr.meta && IsDigit16(m_curr.value)) {
                elx = ParseRecursion();
            } else {
                elx = ParseModifiers(flags);
            }
        }
    }
    MoveNext(); // the closing ")"
    --m_group_nesting;
    return elx;
}

// Modifiers after "(?": "(?imsg-imsg)" changes the flags for the rest of the
// enclosing group; "(?imsg-imsg:...)", "(?:...)" and "(?imsg(...)...)" are
// non-capturing groups with the changed flags.
ElxInterface* CPatternT::ParseModifiers(int& flags)
{
    int modified = flags;
    bool clearing = false;
    while (!AtEnd() && m_curr.value != u':' && m_curr.value != u')' && !IsMeta(u'(')) {
        int bit = 0;
        switch (m_curr.value) {
        case u'i':
        case u'I': bit = IgnoreCase; break;
        case u'm':
        case u'M': bit = MultiLineAnchors; break;
        case u's':
        case u'S': bit = DotMatchesNewline; break;
        case u'g':
        case u'G': bit = GlobalAnchor; break;
        case u'-': clearing = true; break;
        default: break;
        }
        modified = clearing ? (modified & ~bit) : (modified | bit);
        MoveNext();
    }
    if (!AtEnd() && m_curr.value == u':') {
        MoveNext();
        return ParseAlternation(modified);
    }
    if (IsMeta(u'('))
        return ParseAlternation(modified);
    flags = modified;
    return GetStockElx(0);
}

// A named group joins the named group list once its body is parsed, so a
// named group nested in another comes before it (and is numbered first).
ElxInterface* CPatternT::ParseNamedGroup(int& flags, char16_t terminator)
{
    CListElxT* group = StartNamedGroup(terminator, flags);
    group->m_items[1] = ParseAlternation(flags);
    m_named_groups.Push(group);
    return group;
}

// Reads a group's name up to its terminator and builds the group without its
// body.  A name that reads as a number gives the group that number and no name.
CListElxT* CPatternT::StartNamedGroup(char16_t terminator, int flags)
{
    CBufferT<char16_t> name;
    ReadName(terminator, name);
    ++m_named_group_count;
    int number = -1;
    const bool numeric = ReadsAsNumber(name, number);
    if (!numeric)
        number = -1;
    return MakeGroupList(number, numeric ? nullptr : &name, nullptr, flags);
}

// "(?(cond)yes|no)": cond is a group number, a name, or an expression (a
// look-around, or any text taken as a look-ahead).
ElxInterface* CPatternT::ParseConditional(int& flags)
{
    CConditionElxT* cond = Build<CConditionElxT>();
    if (m_next.meta && m_next.value == u'?') {
        cond->m_condition = ParseGroup(flags); // normally a look-around
    } else {
        MoveNext(); // the inner "("
        const int start = m_curr.position;
        ElxInterface* body = ParseAlternation(flags);
        const int stop = m_curr.position;
        CAssertElxT* ask = Build<CAssertElxT>(body, true);
        if (stop > start)
            cond->m_name.Append(m_pattern.GetBuffer() + start, stop - start);
        int number = 0;
        if (ReadsAsNumber(cond->m_name, number)) {
            cond->m_number = number;
        } else {
            cond->m_condition = ask;
            m_named_conditions.Push(cond);
        }
        MoveNext(); // the inner ")"
    }
    int yes_flags = flags;
    cond->m_yes = ParseSequence(yes_flags);
    if (IsMeta(u'|')) {
        MoveNext();
        cond->m_no = ParseAlternation(flags);
    }
    return cond;
}

// "(?R)", "(?R<name>)", "(?Rn)" or "(?n)": a call of the whole pattern (0) or of a group.
ElxInterface* CPatternT::ParseRecursion()
{
    SkipWhiteSpace();
    CDelegateElxT* delegate = nullptr;
    if (!m_curr.meta && (m_curr.value == u'<' || m_curr.value == u'\'')) {
        const char16_t terminator = m_curr.value == u'<' ? u'>' : u'\'';
        MoveNext();
        CBufferT<char16_t> name;
        ReadName(terminator, name);
        int number = 0;
        if (ReadsAsNumber(name, number)) {
            delegate = Build<CDelegateElxT>(number);
        } else {
            delegate = Build<CDelegateElxT>(-3);
            delegate->m_name = name;
        }
    } else {
        CBufferT<char16_t> text;
        while (!AtEnd() && m_curr.value != u')') {
            text.Push(m_curr.value);
            MoveNext();
        }
        int i = 0, number = 0;
        ReadCount(text, i, number);
        delegate = Build<CDelegateElxT>(number);
    }
    m_recursions.Push(delegate);
    return delegate;
}
