// The per-page extraction that every front end shares, on what only a
// program can hand it: pages larger than the analysis reads.
#include "cli/page_extraction.h"

#include <gtest/gtest.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <string>
#include <string_view>

namespace brevanto::cli {
namespace {

// `size` bytes of one value that cost a single chunk of memory: the chunk
// is mapped again and again, back to back.
class RepeatedBytes {
 public:
  RepeatedBytes(size_t size, char value) : size_(size) {
    constexpr size_t kChunk = size_t{16} << 20;
    const int fd = ::memfd_create("repeated", MFD_CLOEXEC);
    if (fd < 0 || ::ftruncate(fd, kChunk) != 0) return;
    mapped_ = (size + kChunk - 1) / kChunk * kChunk;
    void* reserved = ::mmap(nullptr, mapped_, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
    if (reserved == MAP_FAILED) return;
    base_ = static_cast<char*>(reserved);
    void* first = ::mmap(base_, kChunk, PROT_READ | PROT_WRITE, MAP_SHARED | MAP_FIXED, fd, 0);
    if (first != MAP_FAILED) std::fill_n(base_, kChunk, value);
    for (size_t at = kChunk; at < mapped_; at += kChunk)
      ::mmap(base_ + at, kChunk, PROT_READ, MAP_SHARED | MAP_FIXED, fd, 0);
    ::close(fd);
  }
  ~RepeatedBytes() {
    if (base_ != nullptr) ::munmap(base_, mapped_);
  }
  RepeatedBytes(const RepeatedBytes&) = delete;
  RepeatedBytes& operator=(const RepeatedBytes&) = delete;

  std::string_view view() const { return base_ != nullptr ? std::string_view(base_, size_) : ""; }

 private:
  char* base_ = nullptr;  // owned: the whole mapping
  size_t mapped_ = 0;
  size_t size_;
};

// Markup one byte beyond what 32-bit offsets reach is refused whole, with
// its size, before anything copies it. Checked in a child whose memory is
// bounded, so that an extraction that copied it fails fast instead of
// taking gigabytes.
TEST(PageExtraction, MarkupBeyondTheAnalysisIsRefused) {
  const size_t size = size_t{1} << 31;
  const RepeatedBytes markup(size, 'a');
  ASSERT_EQ(markup.view().size(), size);
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
#if !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)
    const rlimit bound = {size_t{512} << 20, size_t{512} << 20};
    ::setrlimit(RLIMIT_DATA, &bound);
#endif
    bool refused = false;
    try {
      PageExtractor pages(Analysis::kModern);
      PageRequest request;
      request.markupInput = true;
      ExtractedPage page;
      std::string error;
      refused = !pages.extract(markup.view(), request, page, error) &&
                error.find("markup is 2147483648 bytes;") != std::string::npos;
    } catch (...) {  // out of the bounded memory: it was copied
    }
    ::_exit(refused ? 0 : 1);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
}

}  // namespace
}  // namespace brevanto::cli
