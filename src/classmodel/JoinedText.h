#ifndef JOINEDTEXT_H
#define JOINEDTEXT_H

#include <QString>

#include <initializer_list>

// Compares two texts that are each the concatenation of several parts, code unit by code unit
// as QString's ordering does, without building the concatenations. Dependency sets compare
// their keys this way millions of times per run; joining first would allocate every time.
// Returns a negative number, zero or a positive number as the first text sorts before, equal
// to or after the second.
inline int compareJoined(std::initializer_list<const QString*> left,
                         std::initializer_list<const QString*> right)
{
    auto l = left.begin();
    auto r = right.begin();
    int li = 0;
    int ri = 0;
    for (;;) {
        while (l != left.end() && li == (*l)->size()) {
            ++l;
            li = 0;
        }
        while (r != right.end() && ri == (*r)->size()) {
            ++r;
            ri = 0;
        }
        if (l == left.end() || r == right.end())
            return (l == left.end() ? 0 : 1) - (r == right.end() ? 0 : 1);
        const ushort lc = (*l)->at(li).unicode();
        const ushort rc = (*r)->at(ri).unicode();
        if (lc != rc)
            return lc < rc ? -1 : 1;
        ++li;
        ++ri;
    }
}

#endif
