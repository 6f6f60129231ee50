// The list of stored acquisitions shown in multi-image mode: which files belong in it,
// the value of an information file's key, the order of its entries and where an entry's
// picture is drawn.
#pragma once

#include <string>

#include "ui/PanelModel.h"

namespace orvaq::ui {

// An information file of the images folder: the extension is exactly ".NFO", any case.
bool IsInfoFileName(const std::wstring& name);

// The value of `key` in `section` of an information file's bytes (UTF-16LE with its
// byte-order mark, or 8-bit text); empty when absent.
std::wstring InfoFileValue(const std::string& bytes, const std::wstring& section, const std::wstring& key);

// The order of two entries by their files' modification times (date-time values in days,
// valid or not): -1 when the first sorts before, else 1. Times are rounded up to whole
// seconds first; never "equal", and an invalid time makes the first entry the later one.
int CompareEntries(double firstTime, bool firstValid, double secondTime, bool secondValid);

// The picture area of a list item: 1 pixel in (filled black), and 4 more either way
// (a 2-pixel white frame in between when selected): 5 pixels inside the item.
SRect ItemPictureArea(const SRect& item);
// A picture of `width` x `height` scaled to fit `area` with its proportions kept,
// centred (the spare width or height split equally on both sides).
SRect FitCentred(int width, int height, const SRect& area);

}  // namespace orvaq::ui
