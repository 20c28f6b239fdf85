#pragma once

#include <string>

class CRSSSubItem;

// The work behind CRSSSubItem's RSS information file members
// (core/ContentFileWork.h). Installed into the model when the library loads;
// callers use the members.

// Reads the information file into the item: sourceFile first, whatever
// follows; false when the file cannot be read as XML.
bool LoadRssInfoFile(CRSSSubItem& item, const std::u16string& path);
// The media file the information file names (newstitle/mime/url), as written
// there; empty when it names none.
std::u16string NamedMediaFile(const std::u16string& path);
