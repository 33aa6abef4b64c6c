#pragma once

// What one entry of a disc's folder tree is; a catalog stores it as this
// number.
enum class TEntryKind { File = 0, Folder = 1, Link = 2 };
