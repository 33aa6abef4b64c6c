#pragma once

#include <vector>

// The shape a folder view gives the stored parent links, whatever they hold.
namespace TreeShape {

// The deepest level a folder is shown at (0 is the top level). A real
// collection stays within a few dozen levels; a file may hold a chain of any
// length (a damaged or crafted one), and a tree view lays out and tears down
// its levels recursively, so a folder below this level is shown at the top
// level instead, as a folder in a loop is. 1000 levels keep every view's
// recursion far from the stack's end and are more than anyone can browse.
inline constexpr int MaxDepth = 1000;

// parentOf[i] is the index of row i's parent, or -1 for none. Cuts every
// cycle at its last row (the highest index) and every chain below MaxDepth,
// setting those rows' parents to -1. Linear in the number of rows; no
// recursion.
void CutCyclesAndDepth(std::vector<int> &parentOf);

} // namespace TreeShape
