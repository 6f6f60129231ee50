// lumeq2-simctl: sends one command to a running lumeq2-sim over its control socket and
// prints the answer. Usage: lumeq2-simctl SOCKET COMMAND [ARG...]
//   status | scan [size=N kind=phantom|empty|pattern|part part=K parts=N mode=M seed=S save=PATH]
//   state [state=starting|ready|menu lasterror=N autoresa=N mode=mono|multi door=... imageport=N]
//   fault [clear forbidden=N silent=N delay=MS longbody=SIZE[:N] corrupt_line=K truncate=B
//          stall=OFFSET:MS refuse=1 reset=1 frame=KIND[:N] vanish=0|1]
//   record [clear] | quit
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <string>

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: lumeq2-simctl SOCKET COMMAND [ARG...]\n");
    return 2;
  }
  std::string line;
  for (int i = 2; i < argc; ++i) line += std::string(i > 2 ? " " : "") + argv[i];
  line += "\n";
  int s = socket(AF_UNIX, SOCK_STREAM, 0);
  sockaddr_un addr {};
  addr.sun_family = AF_UNIX;
  if (std::strlen(argv[1]) >= sizeof addr.sun_path) {
    std::fprintf(stderr, "lumeq2-simctl: socket path too long\n");
    return 2;
  }
  std::strcpy(addr.sun_path, argv[1]);
  if (connect(s, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
    std::perror("lumeq2-simctl: connect");
    return 1;
  }
  if (write(s, line.data(), line.size()) != static_cast<ssize_t>(line.size())) {
    std::perror("lumeq2-simctl: write");
    return 1;
  }
  std::string answer;
  char buf[65536];
  ssize_t n;
  while ((n = read(s, buf, sizeof buf)) > 0) answer.append(buf, static_cast<size_t>(n));
  close(s);
  std::fwrite(answer.data(), 1, answer.size(), stdout);
  // An answer that reports a failure makes the exit status non-zero for scripts.
  return answer.compare(0, 11, "{\"ok\":false") == 0 ? 1 : 0;
}
