#pragma once

// The catalogue of darulib: records, time values, locations, the content
// facade and the label hierarchy, the stores, the content files and the
// catalogue check. It brings no window names (no HWND, no TRUE or FALSE, no
// SendMessage), so it can be included beside curses.h or a toolkit's headers.
// The windows are in darulib_ui.h.

// The headers are C++20: a program built as C++17 stops here, with this one
// message, rather than at an error deep inside them.
#if !defined(__cplusplus) || __cplusplus < 202002L
#error "darulib needs C++20: compile with -std=c++20 (or later)"
#else

#include "base/DaruApi.h"
#include "base/TextConv.h"
#include "base/U16Format.h"
#include "content/PathOps.h"
#include "content/XmlDocument.h"
#include "core/Article.h"
#include "core/ArticleLocations.h"
#include "core/CaptureItems.h"
#include "core/Records.h"
#include "core/StdTime.h"
#include "core/Version.h"
#include "facade/ArticleCapture.h"
#include "facade/DARU.h"
#include "facade/LabelTree.h"
#include "platform/ComError.h"
#include "platform/ModuleInfo.h"
#include "storage/CatalogueCheck.h"
#include "storage/DB.h"
#include "storage/DBAccess.h"
#include "storage/DBSqlite.h"
#include "storage/DataRootSetup.h"

#endif
