#pragma once

#include "core/Records.h"
#include "platform/WinTypes.h"

// Resource and command ids of the label tree (menu 50000 of the resource
// script) and the images it uses.

constexpr UINT IDR_TREECTRL_MENU = 50000;
constexpr UINT ID_TREECTRL_REFRESH = 50001;
constexpr UINT ID_TREECTRL_ADD = 50002;
constexpr UINT ID_TREECTRL_DELETE = 50003;
constexpr UINT ID_TREECTRL_RENAME = 50004;
constexpr UINT ID_TREECTRL_DELALL = 50005;
constexpr UINT ID_TREECTRL_READ = 50006;
constexpr UINT ID_TREECTRL_UNREAD = 50007;
constexpr UINT ID_TREECTRL_DEFAULT = 53026;

// The image strip shared with the article list and the label picker.
constexpr UINT IDB_ARTICLE_IMAGES = 54004;
constexpr int kUnreadImage = 1;
constexpr int kReadImage = 2;
constexpr int kLabelImage = 3;
