// The activity log: one text file per run option in the Windows TEMP folder,
// Windir + "\TEMP\ZuroviRazevi" + CurrentOption + ".log", UTF-8 on this
// system. LogLine appends "dd/mm/yyyy hh:nn:ss - message" + CR LF and echoes
// "-> " + that line in the memo; RestartLog (or LogLine with an empty
// message) empties the file and echoes "-> ". The file is opened and closed
// within each call. Write
// failures raise platform::EInOutError (code 2 when appending to a missing
// file); the memo echo comes only after a successful write.
#pragma once

#include <string>

namespace shell {

class TRunControl;

std::string LogFilePath(const std::string& currentOption);
void LogLine(TRunControl& run, const std::string& message);
// LogLine(run, lead + text) for a long text, which is not copied to be joined.
void LogLine(TRunControl& run, const std::string& lead, const std::string& text);
// Starts the log file of the run option anew, empty.
void RestartLog(TRunControl& run);

}  // namespace shell
