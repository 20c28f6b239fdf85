#pragma once

// Everything a host of darulib needs: include this header and link libdarulib.so.

#include "content/CaptureItems.h"
#include "core/Article.h"
#include "core/ArticleLocations.h"
#include "core/DARU.h"
#include "core/DaruApi.h"
#include "core/LabelTree.h"
#include "core/Records.h"
#include "core/StdTime.h"
#include "core/TextConv.h"
#include "core/U16Format.h"
#include "core/Version.h"
#include "content/PathOps.h"
#include "platform/ComError.h"
#include "platform/MessageBox.h"
#include "platform/ModuleInfo.h"
#include "storage/DB.h"
