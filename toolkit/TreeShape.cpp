#include "toolkit/TreeShape.h"

#include <algorithm>
#include <cstddef>

namespace TreeShape {

void CutCyclesAndDepth(std::vector<int> &parentOf)
{
    const size_t count = parentOf.size();
    for (int &parent : parentOf)
        if (parent < -1 || parent >= int(count))
            parent = -1;

    // Each row has at most one parent, so every cycle is met once when its
    // rows are walked upwards; it is cut at its last row.
    enum : char { Unseen, OnPath, Done };
    std::vector<char> state(count, Unseen);
    std::vector<int> path;
    for (size_t start = 0; start < count; ++start) {
        if (state[start] != Unseen)
            continue;
        path.clear();
        int v = int(start);
        while (v >= 0 && state[size_t(v)] == Unseen) {
            state[size_t(v)] = OnPath;
            path.push_back(v);
            v = parentOf[size_t(v)];
        }
        if (v >= 0 && state[size_t(v)] == OnPath) {
            const auto first = std::find(path.begin(), path.end(), v);
            parentOf[size_t(*std::max_element(first, path.end()))] = -1;
        }
        for (int p : path)
            state[size_t(p)] = Done;
    }

    // Now a forest: walk it from its roots, level by level, and start a
    // chain that goes too deep again at the top.
    std::vector<int> firstChild(count, -1), nextSibling(count, -1);
    for (size_t i = count; i-- > 0;) {
        const int parent = parentOf[i];
        if (parent >= 0) {
            nextSibling[i] = firstChild[size_t(parent)];
            firstChild[size_t(parent)] = int(i);
        }
    }
    std::vector<int> depth(count, 0);
    std::vector<int> queue;
    queue.reserve(count);
    for (size_t i = 0; i < count; ++i)
        if (parentOf[i] < 0)
            queue.push_back(int(i));
    for (size_t head = 0; head < queue.size(); ++head) {
        const int node = queue[head];
        for (int child = firstChild[size_t(node)]; child >= 0; child = nextSibling[size_t(child)]) {
            if (depth[size_t(node)] + 1 > MaxDepth) {
                parentOf[size_t(child)] = -1;
                depth[size_t(child)] = 0;
            } else {
                depth[size_t(child)] = depth[size_t(node)] + 1;
            }
            queue.push_back(child);
        }
    }
}

} // namespace TreeShape
