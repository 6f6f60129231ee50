// OrvaqRbld2's command line: the switches Orvaq writes (and a technician may type) read
// into one record, and the argument list of the Shift+Control diagnostic box. Pure
// functions over the arguments already split by the platform's rule.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace orvaq {
namespace rebuild {

enum class RebuildMode { None = -1, Rebuild = 0, NoWork = 1, RebuildAndFilter = 2 };

struct RebuildOptions {
  RebuildMode mode = RebuildMode::None;  // "/rb", "/ft", "/rf"
  bool preview = false;                  // "/PW"
  bool storeIntermediateImages = false;  // "/I1"
  bool ignoreMire = false;               // "/P1"
  int depthChoice = 0;                   // "/D:"
  int filterLevel = 0;                   // "/F:"
  int luminosity = 0;                    // "/L:"
  int contrast = 0;                      // "/C:"
  int gamma = 0;                         // "/G:", hundredths
  bool hasInfoPath = false;              // "/N:" seen with a path
  std::wstring infoPath;
  int thumbX = -1;                       // "/Tx:"
  int thumbY = -1;                       // "/Ty:"
  // The thumbnail and the preview's place are used only when both were given.
  bool HasThumbnailPlace() const { return thumbX != -1 && thumbY != -1; }
};

// Arguments 1 to n-1 in order (argument 0 is the program): every switch is compared
// without regard to case, whole or by its first 3 ("/D:") or 4 ("/Tx:") characters; a
// later argument overrides an earlier one; anything else is ignored.
RebuildOptions ParseRebuildArguments(const std::vector<std::wstring>& arguments);

// The leading decimal integer of `text` (an optional sign, then digits), 0 when there is
// none; values beyond the int range stop at its ends.
int LeadingInteger(const std::wstring& text);

// "Command line list :\r\n" and every argument (argument 0 included) followed by "\r\n",
// within `capacity` wide characters including the terminator: an argument that would not
// fit whole is left out with all that follow, so the box never shows half a path.
constexpr size_t kArgumentListCapacity = 1024;
std::wstring FormatArgumentList(const std::vector<std::wstring>& arguments,
                                size_t capacity = kArgumentListCapacity);

}  // namespace rebuild
}  // namespace orvaq
