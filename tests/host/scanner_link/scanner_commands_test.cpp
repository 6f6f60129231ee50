// Command vocabulary: payload bytes, escaping, answer readers and the code mapping.
#include <gtest/gtest.h>

#include <string>

#include "scanner_link/ScannerCommands.h"

namespace {

TEST(ScannerCommands, IdentificationExample) {
  EXPECT_EQ(IdentifyPayload(L"00:11:22:33:44:55", 3, 5, L"Dr Smith", L"Anne-Marie"),
            "ready=1\r\nterm=03\r\ncolor=05\r\nmac=00:11:22:33:44:55\r\ntext_coding=ASCII\r\n"
            "doc_name=Dr Smith\r\npat_name=Anne\\x2dMarie\r\ntime=000\r\nlevel=0\r\nmode=sd");
}

TEST(ScannerCommands, PayloadTable) {
  const std::wstring mac = L"AA:BB:CC:DD:EE:01";
  struct Row { std::string actual; const char* expected; };
  const Row rows[] = {
      {WithdrawIdentificationPayload(mac, 4, 16),
       "ready=0\r\nterm=04\r\ncolor=16\r\nmac=AA:BB:CC:DD:EE:01\r\ntext_coding=\r\ndoc_name=\r\n"
       "pat_name=\r\ntime=000\r\nlevel=0\r\nmode="},
      {ReservationPayload(mac, 40, 1, 10, 2, 0, L"A", L"B"),
       "ready=1\r\nterm=10\r\ncolor=02\r\nmac=AA:BB:CC:DD:EE:01\r\ntext_coding=ASCII\r\n"
       "doc_name=A\r\npat_name=B\r\ntime=040\r\nlevel=1\r\nmode=sd"},
      {ReservationPayload(mac, 120, 3, 1, 1, 1, L"", L""),
       "ready=1\r\nterm=01\r\ncolor=01\r\nmac=AA:BB:CC:DD:EE:01\r\ntext_coding=ASCII\r\n"
       "doc_name=\r\npat_name=\r\ntime=120\r\nlevel=3\r\nmode=hd"},
      {ReservationPayload(mac, 5, 0, 1, 1, 2, L"x", L"y"),
       "ready=1\r\nterm=01\r\ncolor=01\r\nmac=AA:BB:CC:DD:EE:01\r\ntext_coding=ASCII\r\n"
       "doc_name=x\r\npat_name=y\r\ntime=005\r\nlevel=0\r\nmode=sd_fast"},
      {ReservationPayload(mac, 40, 0, 1, 1, 7, L"x", L"y"),
       "ready=1\r\nterm=01\r\ncolor=01\r\nmac=AA:BB:CC:DD:EE:01\r\ntext_coding=ASCII\r\n"
       "doc_name=x\r\npat_name=y\r\ntime=040\r\nlevel=0\r\nmode=debug"},
      {ReservationPayload(mac, 40, 0, 1, 1, -1, L"x", L"y"),
       "ready=1\r\nterm=01\r\ncolor=01\r\nmac=AA:BB:CC:DD:EE:01\r\ntext_coding=ASCII\r\n"
       "doc_name=x\r\npat_name=y\r\ntime=040\r\nlevel=0\r\nmode=debug"},
      {CancelReservationPayload(mac, 40, 7, 3),
       "ready=0\r\nterm=07\r\ncolor=03\r\nmac=AA:BB:CC:DD:EE:01\r\ntext_coding=\r\ndoc_name=\r\n"
       "pat_name=\r\ntime=040\r\nlevel=0\r\nmode="},
      {RetrieveReservePayload(40, 1),
       "ready=1\r\nterm=11\r\ncolor=11\r\nmac=3A:52:3A:52:3A:52\r\ntext_coding=ASCII\r\n"
       "doc_name=Retrieve\r\npat_name=Image\r\ntime=040\r\nlevel=2\r\nmode=hd"},
      {SuperReservePayload(40, L"Control", L"Admin"),
       "ready=1\r\nterm=11\r\ncolor=11\r\nmac=3A:52:3A:52:3A:52\r\ntext_coding=ASCII\r\n"
       "doc_name=Control\r\npat_name=Admin\r\ntime=040\r\nlevel=2\r\nmode=sd"},
      {SuperUnreservePayload(40),
       "ready=0\r\nterm=11\r\ncolor=11\r\nmac=3A:52:3A:52:3A:52\r\ntext_coding=\r\ndoc_name=\r\n"
       "pat_name=\r\ntime=040\r\nlevel=0\r\nmode="},
  };
  for (size_t i = 0; i < sizeof rows / sizeof rows[0]; ++i)
    EXPECT_EQ(rows[i].actual, rows[i].expected) << "row " << i;
}

TEST(ScannerCommands, CommandBodies) {
  struct Row { std::string actual; const char* expected; };
  const Row rows[] = {
      {SetClockCommand(9, 5, 3, 1, 2, 2026), "time=09:05:03 01.02.2026"},
      {GetDoctorQuery(1), "get_doctor=01"},
      {GetDoctorQuery(10), "get_doctor=10"},
      {ReloadCommand(7), "reload=007"},
      {ResetTerminalCommand(3), "reset_terminal=03"},
      {SetValueCommand("menu_timeout", 2000), "menu_timeout=2000"},
      {SetValueCommand("auto_dimmer", 0), "auto_dimmer=0"},
      {SetValueCommand("eco_timeout", 60), "eco_timeout=60"},
      {FormatBody("get_doctor=%02d", 4), "get_doctor=04"},
      {FormatBody("100%% %d", 4), "100% 4"},
      {FormatBody("%s", 4), "%s"},       // not an integer conversion: sent as it stands
      {FormatBody("%d %d", 4), "%d %d"}, // two conversions: sent as it stands
      {FormatBody("plain", 4), "plain"},
  };
  for (size_t i = 0; i < sizeof rows / sizeof rows[0]; ++i)
    EXPECT_EQ(rows[i].actual, rows[i].expected) << "row " << i;
}

TEST(ScannerCommands, LanguageWords) {
  struct Row { int langId; const char* word; };
  const Row rows[] = {{1025, "arabic"},   {1028, "chinese"}, {2052, "chinese"}, {1031, "deutsch"},
                      {1034, "spanish"},  {1036, "french"},  {1040, "italian"}, {1041, "japanese"},
                      {1042, "korean"},   {1043, "nederland"}, {1053, "swedish"}, {1054, "thai"},
                      {1033, "english"},  {3084, "english"}, {0, "english"},    {-1, "english"}};
  for (size_t i = 0; i < sizeof rows / sizeof rows[0]; ++i) {
    EXPECT_STREQ(LanguageWord(rows[i].langId), rows[i].word) << "row " << i;
    EXPECT_EQ(LanguageCommand(rows[i].langId), std::string("gui_language=") + rows[i].word)
        << "row " << i;
  }
}

TEST(ScannerCommands, EscapeName) {
  struct Row { std::wstring name; const char* escaped; };
  const Row rows[] = {
      {L"Dupont-\u00C9ric", "Dupont\\x2d\\xc3\\x89ric"},
      {L"Dr Smith", "Dr Smith"},
      {L"a\nb", "a\\x ab"},                 // width 2 padded with a space
      {L"O'Neil_1.", "O\\x27Neil\\x5f1\\x2e"},
      {L"\u65E5", "\\xe6\\x97\\xa5"},
      {L"\U0001F600", "\\xf0\\x9f\\x98\\x80"},
      {L"", ""},
      {L"\\x41", "\\x5cx41"},
  };
  for (size_t i = 0; i < sizeof rows / sizeof rows[0]; ++i)
    EXPECT_EQ(EscapeName(rows[i].name), rows[i].escaped) << "row " << i;
}

TEST(ScannerCommands, EscapeRoundTrips) {
  const std::wstring names[] = {
      L"Dupont-\u00C9ric", L"a\nb\tc", L"\u65E5\u672C \u8A9E", L"\U0001F600 smile",
      L" lead and trail ", L"100% \\x", L"\u00FF\u0100\u07FF\u0800\uFFFD"};
  for (size_t i = 0; i < sizeof names / sizeof names[0]; ++i)
    EXPECT_EQ(UnescapeName(EscapeName(names[i])), names[i]) << "row " << i;
  std::wstring all;
  for (wchar_t c = 1; c < 0x250; ++c) all += c;
  EXPECT_EQ(UnescapeName(EscapeName(all)), all);
}

TEST(ScannerCommands, UnescapeMalformed) {
  struct Row { const char* text; std::wstring expected; };
  const Row rows[] = {
      {"abc\\x4", L"abc\\x4"},         // fewer than three characters after the backslash
      {"\\x41", L"A"},
      {"\\x4g", L"\\x4g"},             // not hexadecimal: copied
      {"\\y41", L"\\y41"},
      {"\\", L"\\"},
      {"\\x", L"\\x"},
      {"\\x 9", L"\t"},
      {"\\xc3", L"\u00C3"},            // a lone lead byte is not UTF-8: read as 8-bit text
      {"\\xc3\\x89", L"\u00C9"},
      {"\\xff\\xfe", L"\u00FF\u00FE"},
      {"\\xed\\xa0\\x80", L"\u00ED\u00A0\u0080"},  // encoded surrogate: not UTF-8
      {"\\x41\\x", L"A\\x"},
  };
  for (size_t i = 0; i < sizeof rows / sizeof rows[0]; ++i)
    EXPECT_EQ(UnescapeName(rows[i].text), rows[i].expected) << "row " << i;
  EXPECT_EQ(UnescapeName(std::string(5000, 'a')).size(), 4095u);
}

TEST(ScannerCommands, EscapeCutsVeryLongNames) {
  const std::wstring name(3000, L'\u00E9');  // 6000 bytes of UTF-8
  const std::string escaped = EscapeName(name);
  EXPECT_EQ(escaped.size(), 2048u * 8);  // 2048 whole characters, each two escaped bytes
  EXPECT_EQ(UnescapeName(escaped), std::wstring(2048, L'\u00E9'));
}

TEST(ScannerCommands, MapAnswerCode) {
  struct Row { int32_t code; const char* answer; int32_t expected; };
  const Row rows[] = {
      {404, "12", 12},   {404, "", 404},    {201, "12", 201},  {-1, "7", -1},
      {50, "7", 50},     {51, "7", 51},     {54, "7", 54},     {55, "7", 7},
      {200, "9", 200},   {206, "9", 206},   {207, "9", 9},     {199, "9", 9},
      {1, "  42 rest", 42}, {403, "refused", 403}, {500, "-3", -3}, {404, "\t8", 8},
      {1, "", 1},        {49, "3", 3},      {404, "99999999999", -1},
      {500, "Internal Server Error", 500}, {404, " -x", 404}, {409, "0 accepted", 0},
  };
  for (size_t i = 0; i < sizeof rows / sizeof rows[0]; ++i)
    EXPECT_EQ(MapAnswerCode(rows[i].code, rows[i].answer), rows[i].expected) << "row " << i;
}

TEST(ScannerCommands, RetryRule) {
  struct Row { int32_t result; bool retry; };
  const Row rows[] = {{-1, false}, {0, true},    {1, true},    {50, true},   {54, true},
                      {99, true},  {100, false}, {200, false}, {403, true},  {404, false}};
  for (size_t i = 0; i < sizeof rows / sizeof rows[0]; ++i)
    EXPECT_EQ(HttpResultWantsRetry(rows[i].result), rows[i].retry) << "row " << i;
}

TEST(ScannerCommands, SimpleAnswerReaders) {
  struct Row { int (*reader)(int32_t, const std::string&); int32_t code; const char* answer; int expected; };
  const Row rows[] = {
      {ReadReservationMode, 200, "mono", 0},   {ReadReservationMode, 200, "multi", 1},
      {ReadReservationMode, 200, "Multi", -1}, {ReadReservationMode, 200, "mono\r\n", -1},
      {ReadReservationMode, 404, "mono", -1},  {ReadReservationMode, 200, "", -1},
      {ReadDoorState, 200, "open", 0},         {ReadDoorState, 200, "close", 1},
      {ReadDoorState, 200, "moving", 2},       {ReadDoorState, 200, "error", 3},
      {ReadDoorState, 200, "unknown", 4},      {ReadDoorState, 200, "ajar", -1},
      {ReadDoorState, 50, "open", -1},
      {ReadTimeoutValue, 200, "60", 60},       {ReadTimeoutValue, 200, " 3600x", 3600},
      {ReadTimeoutValue, 200, "none", 0},      {ReadTimeoutValue, 1, "60", -1},
      {ReadDemo, 200, "enable", 1},            {ReadDemo, 200, "ENABLE", 1},
      {ReadDemo, 200, "disable", 0},           {ReadDemo, 200, "", 0},
      {ReadDemo, 403, "enable", -1},
  };
  for (size_t i = 0; i < sizeof rows / sizeof rows[0]; ++i)
    EXPECT_EQ(rows[i].reader(rows[i].code, rows[i].answer), rows[i].expected) << "row " << i;
  EXPECT_EQ(ReadTimeText(200, "12:00:00 01.01.2026"), "12:00:00 01.01.2026");
  EXPECT_EQ(ReadTimeText(54, "12:00:00 01.01.2026"), "");
}

TEST(ScannerCommands, DoctorEntries) {
  struct Row { int32_t code; const char* answer; int32_t result; int term, color; const char* mac; };
  const Row rows[] = {
      {200, "term=03 color=05 mac=00:11:22:33:44:55", 200, 3, 5, "00:11:22:33:44:55"},
      {200, "term=3 color=5 mac=X", 200, 3, 5, "X"},
      {200, "term=03color=05mac=M", 200, 3, 5, "M"},
      {200, "term=03 color=05 mac=", -1, 0, 0, ""},       // no mac value
      {200, "term=03 color=05", -1, 0, 0, ""},
      {200, "color=05 term=03 mac=M", -1, 0, 0, ""},
      {200, "", -1, 0, 0, ""},
      {200, "term=123 color=05 mac=M", -1, 0, 0, ""},     // third digit breaks " color="
      {404, "term=03 color=05 mac=M", 404, 0, 0, ""},
      {200, "term=00 color=00 mac=00:00:00:00:00:00\r\n", 200, 0, 0, "00:00:00:00:00:00"},
  };
  for (size_t i = 0; i < sizeof rows / sizeof rows[0]; ++i) {
    DoctorEntry e;
    EXPECT_EQ(ReadDoctorEntry(rows[i].code, rows[i].answer, e), rows[i].result) << "row " << i;
    EXPECT_EQ(e.term, rows[i].term) << "row " << i;
    EXPECT_EQ(e.color, rows[i].color) << "row " << i;
    EXPECT_EQ(e.mac, rows[i].mac) << "row " << i;
  }
  DoctorEntry e;
  EXPECT_EQ(ReadDoctorEntry(200, "term=01 color=02 mac=" + std::string(300, 'm'), e), 200);
  EXPECT_EQ(e.mac.size(), 255u);
}

TEST(ScannerCommands, ImageInfoAnswers) {
  struct Row {
    int32_t code; const char* answer; int32_t result;
    int term, color; std::wstring doctor, patient; int nbLine, lineSize;
  };
  const Row rows[] = {
      {200, "term=03 color=05 doc_name=Dr Smith pat_name=Anne\\x2dMarie nb_line=1500 line_size=5648",
       200, 3, 5, L"Dr Smith", L"Anne-Marie", 1500, 5648},
      {200, "term=03 color=05 doc_name=D pat_name=P \\xc3\\x89ric  ", 200, 3, 5, L"D", L"P \u00C9ric", 0, 0},
      {200, "term=01 color=02 doc_name= pat_name= nb_line=7", 200, 1, 2, L"", L"", 7, 0},
      {200, "term=01 color=02 pat_name=P doc_name=D", -1, 0, 0, L"", L"", 0, 0},
      {200, "term=01 color=02 pat_name=P", -1, 0, 0, L"", L"", 0, 0},
      {200, "term=01 color=02 doc_name=D", -1, 0, 0, L"", L"", 0, 0},
      {200, "color=02 doc_name=D pat_name=P", -1, 0, 0, L"", L"", 0, 0},
      {200, "term=01 doc_name=D pat_name=P", -1, 0, 0, L"", L"", 0, 0},
      {404, "term=01 color=02 doc_name=D pat_name=P", 404, 0, 0, L"", L"", 0, 0},
      {200, "term=01 color=02 doc_name=D pat_name=P nb_line=x line_size=-4", 200, 1, 2, L"D", L"P", 0, -4},
      {200, "term=01 color=02 doc_name=D pat_name=P nb_line=99999999999", 200, 1, 2, L"D", L"P", 2147483647, 0},
  };
  for (size_t i = 0; i < sizeof rows / sizeof rows[0]; ++i) {
    ImageInfo info;
    EXPECT_EQ(ReadImageInfo(rows[i].code, rows[i].answer, info), rows[i].result) << "row " << i;
    EXPECT_EQ(info.term, rows[i].term) << "row " << i;
    EXPECT_EQ(info.color, rows[i].color) << "row " << i;
    EXPECT_EQ(info.doctor, rows[i].doctor) << "row " << i;
    EXPECT_EQ(info.patient, rows[i].patient) << "row " << i;
    EXPECT_EQ(info.nbLine, rows[i].nbLine) << "row " << i;
    EXPECT_EQ(info.lineSize, rows[i].lineSize) << "row " << i;
  }
}

}  // namespace
