#pragma once

#include <string>

#include "platform/WinTypes.h"

class CWnd;

// A window and its children as text, for test failure messages and for hosts.
// One line per window: its class, id, text in quotes, position and size, and
// its marks (hidden, disabled, focused, checked, read-only, ...); below it the
// window's own content (tree items with their state, list rows with their
// columns and flags, edit lines, header columns), then its children, each
// level indented by two more spaces.
DARU_API std::u16string DaruSnapshotWindow(const CWnd* pWnd);
DARU_API std::u16string DaruSnapshotWindow(HWND hWnd);
DARU_API std::string DaruSnapshotWindowUtf8(const CWnd* pWnd);
