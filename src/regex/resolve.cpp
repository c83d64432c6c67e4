// Resolution after parsing: named groups get their numbers (after every plain
// group, in order of appearance; names equal ignoring ASCII case share one),
// recursions their targets, and named back-references and conditions their
// group numbers.  Names are looked up in a table built once, so resolution
// takes time linear in the pattern.
#include <string>
#include <unordered_map>

#include "regex/compile_util.h"

namespace {

// A name as the lookup compares it: ASCII letters upper-cased.
std::u16string NameKey(const CBufferRefT<char16_t>& name)
{
    std::u16string key(static_cast<std::size_t>(name.GetSize()), u'\0');
    for (int i = 0; i < name.GetSize(); ++i)
        key[static_cast<std::size_t>(i)] = AsciiUpper16(name[i]);
    return key;
}

// Number of the first group with a name, in order of appearance.
class GroupNames {
public:
    // The number of the first group named name, or -3 when no group has that name.
    int Find(const CBufferRefT<char16_t>& name) const
    {
        const auto it = m_numbers.find(NameKey(name));
        return it == m_numbers.end() ? -3 : it->second;
    }
    // Records a group's number unless an earlier group has the name already.
    void Add(const CBufferRefT<char16_t>& name, int number) { m_numbers.emplace(NameKey(name), number); }

private:
    std::unordered_map<std::u16string, int> m_numbers;
};

} // namespace

void CPatternT::Resolve()
{
    if (m_groups.IsEmpty())
        m_groups.Push(nullptr);
    m_groups[0] = m_root;
    m_group_count = m_groups.GetSize();
    m_groups.Prepare(m_max_number + m_named_group_count, nullptr);

    // Named groups are numbered after every plain group, in order of appearance.
    GroupNames names;
    for (int i = 0; i < m_named_groups.GetSize(); ++i) {
        CListElxT* group = m_named_groups[i];
        m_groups.Push(group);
        m_group_count = m_groups.GetSize();
        CBracketElxT* first = static_cast<CBracketElxT*>(group->m_items[0]);
        CBracketElxT* last = static_cast<CBracketElxT*>(group->m_items[2]);
        if (first->m_number <= 0) {
            int number = first->m_has_name ? names.Find(first->m_name) : -3;
            if (number < 0)
                number = ++m_max_number;
            first->m_number = number;
        }
        last->m_number = first->m_number;
        if (first->m_has_name)
            names.Add(first->m_name, first->m_number);
    }

    // The highest number any opening bracket carries (numeric names may exceed the plain count),
    // and the first group of each number, the target of a recursion to it.
    m_max_number = 0;
    for (int i = 1; i < m_groups.GetSize(); ++i) {
        if (!m_groups[i])
            continue;
        const int number = static_cast<const CListElxT*>(m_groups[i])->OpeningBracket()->m_number;
        if (number > m_max_number)
            m_max_number = number;
    }
    std::unordered_map<int, ElxInterface*> first_of_number;
    for (int i = 1; i < m_groups.GetSize(); ++i)
        if (m_groups[i])
            first_of_number.emplace(static_cast<const CListElxT*>(m_groups[i])->OpeningBracket()->m_number,
                                    m_groups[i]);

    for (int i = 0; i < m_recursions.GetSize(); ++i) {
        CDelegateElxT* delegate = m_recursions[i];
        if (delegate->m_number == -3)
            delegate->m_number = names.Find(delegate->m_name);
        const int n = delegate->m_number;
        delegate->m_target = nullptr;
        if (n == 0)
            delegate->m_target = m_root;
        else if (const auto it = first_of_number.find(n); n > 0 && it != first_of_number.end())
            delegate->m_target = it->second;
    }

    for (int i = 0; i < m_named_backrefs.GetSize(); ++i)
        m_named_backrefs[i]->m_number = names.Find(m_named_backrefs[i]->m_name);

    for (int i = 0; i < m_named_conditions.GetSize(); ++i) {
        CConditionElxT* cond = m_named_conditions[i];
        const int n = names.Find(cond->m_name);
        if (n >= 0) {
            cond->m_number = n;
            cond->m_condition = nullptr;
        }
    }
}
