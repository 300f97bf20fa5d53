#pragma once

#include <sys/resource.h>

#include <csignal>

namespace ondrel::testing {

// While it lives, no file of this process can grow beyond `bytes`: a write past the limit fails
// as it does on a full disk (EFBIG instead of a SIGXFSZ that would end the process). It works
// for every user, root too, where a read-only folder would not.
class FileSizeLimit {
public:
  explicit FileSizeLimit(rlim_t bytes) {
    m_previousSignal = std::signal(SIGXFSZ, SIG_IGN);
    getrlimit(RLIMIT_FSIZE, &m_previous);
    rlimit limit = m_previous;
    limit.rlim_cur = bytes;
    setrlimit(RLIMIT_FSIZE, &limit);
  }
  ~FileSizeLimit() {
    setrlimit(RLIMIT_FSIZE, &m_previous);
    std::signal(SIGXFSZ, m_previousSignal);
  }
  FileSizeLimit(const FileSizeLimit&) = delete;
  FileSizeLimit& operator=(const FileSizeLimit&) = delete;

private:
  rlimit m_previous{};
  void (*m_previousSignal)(int) = SIG_DFL;
};

} // namespace ondrel::testing
