// Help requests from any layer of the program. The help window lives in the
// application layer; windows in the layers beneath it (index rebuilding,
// label and report design, ...) ask for a topic through this hook, which the
// help window installs.
#pragma once

#include <functional>

namespace qb {

// Help topic numbers used by windows and dialogs.
namespace HelpTopic {
constexpr int Contents = 1000;
constexpr int HowToUseHelp = 1001;
constexpr int GettingStarted = 1002;
constexpr int SearchingHelp = 1003;
constexpr int TechnicalSupport = 1015;
constexpr int DBaseImport = 1021;
constexpr int AsciiImport = 1023;
constexpr int Finding = 1026;
constexpr int MainWindow = 1029;
constexpr int AddingChanging = 1030;
constexpr int NewFile = 1037;
constexpr int Preferences = 1040;
constexpr int RebuildIndexes = 1041;
constexpr int RebuildSystemIndexes = 1042;
constexpr int Version1Import = 1022;
constexpr int Filters = 1027;
constexpr int Tags = 1028;
constexpr int Dialer = 1031;
constexpr int Labels = 1050;
constexpr int LabelDesign = 1051;
constexpr int Envelopes = 1060;
constexpr int Letters = 1070;
constexpr int Reports = 1080;
constexpr int Preview = 1082;
constexpr int StateZipCheck = 1090;
constexpr int DuplicateCheck = 1091;
constexpr int Export = 1092;
constexpr int BulkEdits = 1093;
constexpr int ZipCounts = 1094;
constexpr int Faq = 2098;
constexpr int Deleting = 2099;
} // namespace HelpTopic

// Opens help at `topic` (an unknown number shows the contents). Does nothing
// until a handler is installed.
void RequestHelpTopic(int topic);
// Installs the handler (the help window does this); returns the previous one.
std::function<void(int)> SetHelpTopicHandler(std::function<void(int)> handler);

} // namespace qb
