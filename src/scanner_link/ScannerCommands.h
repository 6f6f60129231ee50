// The scanner's command vocabulary: the bodies written to its device files
// ("lumeq2.id", "lumeq2.res", "lumeq2.prm"), the escaping of names inside them, and the
// readers of every answer. Pure functions over 8-bit text, shared by CHttpClient and the
// scanner simulator's tests.
#pragma once

#include <cstdint>
#include <string>

// Device files of the scanner's HTTP server.
extern const char* const kDeviceFileId;   // "lumeq2.id"
extern const char* const kDeviceFileRes;  // "lumeq2.res"
extern const char* const kDeviceFilePrm;  // "lumeq2.prm"

// The identity of the super-user client used for service and administration.
extern const wchar_t* const kSuperUserMac;  // "3A:52:3A:52:3A:52"
constexpr int kSuperUserTerminal = 11;
constexpr int kSuperUserColor = 11;

// Image modes accepted by SetImageMode.
enum ImageMode { IMAGE_MODE_DEBUG = 0 };

// Names inside payloads: UTF-8 (at most 4096 bytes, cut at a character boundary), letters,
// digits and spaces as they are, every other byte as "\x" and "%2x" (so 0x0A is "\x a").
std::string EscapeName(const std::wstring& name);
// The reverse, for names read back from the scanner. A backslash followed by "x" and two
// characters that give a byte ("hh", or " h" as EscapeName pads) becomes that byte; any
// other backslash is copied as it stands. The bytes are read as UTF-8 (at most 4095
// characters); text that is not valid UTF-8 is read as 8-bit text instead.
std::wstring UnescapeName(const std::string& text);

// Wide text to the 8-bit text of a body: Latin-1, '?' for a character without a form.
std::string ToBodyText(const std::wstring& text);

// The word sent for a reservation mode: 0 "sd", 1 "hd", 2 "sd_fast", any other "debug".
const char* ReservationModeWord(int mode);

// Identification and reservation payloads: ten "key=value" lines joined by CR LF.
// Withdrawals (ready 0) leave text_coding, doc_name, pat_name and mode empty.
std::string IdentifyPayload(const std::wstring& mac, int term, int color,
                            const std::wstring& doctor, const std::wstring& patient);
std::string WithdrawIdentificationPayload(const std::wstring& mac, int term, int color);
std::string ReservationPayload(const std::wstring& mac, int reservationTime, int level, int term,
                               int color, int mode, const std::wstring& doctor,
                               const std::wstring& patient);
std::string CancelReservationPayload(const std::wstring& mac, int reservationTime, int term,
                                     int color);
// Super-user payloads (terminal 11, colour 11, the super-user mac).
std::string RetrieveReservePayload(int reservationTime, int mode);
std::string SuperReservePayload(int reservationTime, const std::wstring& doctor,
                                const std::wstring& patient);
std::string SuperUnreservePayload(int reservationTime);

// Command bodies with a value (the fixed ones are written literally by their callers).
std::string SetClockCommand(int hour, int minute, int second, int day, int month, int year);
std::string GetDoctorQuery(int doctor);             // "get_doctor=%02d"
std::string ReloadCommand(int value);               // "reload=%03d"
std::string ResetTerminalCommand(int terminal);     // "reset_terminal=%02d"
std::string SetValueCommand(const char* key, int value);  // "<key>=%d" (timeouts)
std::string LanguageCommand(int langId);            // "gui_language=<word>"
const char* LanguageWord(int langId);

// printf with one integer into an 8-bit body (QueryFormatted / SendFormatted). A format
// that does not hold exactly one integer conversion is sent as it stands.
std::string FormatBody(const char* format, int number);

// The code convention of scanner commands: -1, 50 to 54 and 200 to 206 stay as they are;
// any other code becomes the unsigned number at the start of a non-empty answer (leading
// blanks skipped); an empty answer, or one that does not start with a number, keeps the
// code, so an error page is never read as the scanner's success 0.
int32_t MapAnswerCode(int32_t code, const std::string& answer);

// The retry rule: whether a request is tried again after an attempt with this result.
// The first attempt's 50 stops at once (handled by the caller); -1 is never retried
// since it is not "below 100" when compared as unsigned.
bool HttpResultWantsRetry(int32_t result);

// Answer readers. Each takes the mapped code and the answer text.
// "reservation_mode": "mono" 0, "multi" 1 (exact), otherwise or code not 200: -1.
int ReadReservationMode(int32_t code, const std::string& answer);
// "door": "open" 0, "close" 1, "moving" 2, "error" 3, "unknown" 4, otherwise -1.
int ReadDoorState(int32_t code, const std::string& answer);
// "auto_dimmer", "eco_timeout", "menu_timeout": the unsigned number, or -1 when not 200.
int ReadTimeoutValue(int32_t code, const std::string& answer);
// "demo": "enable" (ignoring case) 1, anything else 0; -1 when not 200.
int ReadDemo(int32_t code, const std::string& answer);
// "time": the text unchanged, empty when the code is not 200.
std::string ReadTimeText(int32_t code, const std::string& answer);

// "get_doctor=NN": "term=%02d color=%02d mac=%s".
struct DoctorEntry {
  int term = 0;
  int color = 0;
  std::string mac;  // at most 255 characters
};
// The code when it is not 200; 200 when all three values were read; -1 otherwise.
int32_t ReadDoctorEntry(int32_t code, const std::string& answer, DoctorEntry& entry);

// "image_info": "term=%02d color=%02d ... doc_name=... pat_name=... nb_line=N line_size=N".
struct ImageInfo {
  int term = 0;
  int color = 0;
  std::wstring doctor;
  std::wstring patient;
  int nbLine = 0;
  int lineSize = 0;
};
// The code when it is not 200; 200 with the six values; -1 when malformed (the values
// then stay 0 or empty).
int32_t ReadImageInfo(int32_t code, const std::string& answer, ImageInfo& info);
