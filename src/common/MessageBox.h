// Message-box styles and answers, with the Windows values: the one set the portable core
// uses when it asks its host for a box.
#pragma once

namespace orvaq {
namespace mb {
constexpr unsigned kOk = 0x0, kOkCancel = 0x1, kYesNo = 0x4, kRetryCancel = 0x5;
constexpr unsigned kIconError = 0x10, kIconQuestion = 0x20, kIconWarning = 0x30, kIconInformation = 0x40;
constexpr int kIdOk = 1, kIdCancel = 2, kIdRetry = 4, kIdYes = 6, kIdNo = 7;
}  // namespace mb
}  // namespace orvaq
