// A test server as a child process: its standard input on a pipe that only
// this process holds (a server that reads it notices when the test process is
// gone), its standard error, and its standard output unless the server tells
// its port there, going to a file. The server is stopped (SIGTERM, then
// SIGKILL after two seconds) and reaped when the object goes.
#pragma once

#include <string>
#include <vector>

namespace testsupport {

class TServerProcess {
public:
  // arguments[0] is the program's absolute path. With readPortLine the
  // server must print "PORT n" on its standard output once it listens, and
  // the constructor waits for it (20 s at most); else its output goes to
  // logFile too. name says which server failed in errors.
  TServerProcess(std::vector<std::string> arguments, const std::string& logFile, bool readPortLine,
                 const std::string& name);
  ~TServerProcess();
  TServerProcess(const TServerProcess&) = delete;
  TServerProcess& operator=(const TServerProcess&) = delete;

  // The port of the "PORT n" line; 0 without readPortLine.
  int Port() const { return port_; }
  // Whether the server has ended (it is then reaped).
  bool Ended();

private:
  void Stop();
  std::string name_;
  std::string logFile_;
  int pid_ = -1;
  int stdinFd_ = -1;
  int port_ = 0;
};

}  // namespace testsupport
