// Captures what the standard output stream receives and where it was
// flushed, so a test can tell an end of line with flush from a bare "\n".
#ifndef GLSL_TEST_LOG_CAPTURE_H
#define GLSL_TEST_LOG_CAPTURE_H

#include <iostream>
#include <streambuf>
#include <string>

class LogCapture {
public:
  // Stands in withFlushes() wherever the stream was flushed.
  static constexpr const char* kFlush = "<flush>";

  LogCapture() : saved_(std::cout.rdbuf(&buffer_)) {}
  ~LogCapture() { std::cout.rdbuf(saved_); }
  LogCapture(const LogCapture&) = delete;
  LogCapture& operator=(const LogCapture&) = delete;

  const std::string& text() const { return buffer_.text; }
  const std::string& withFlushes() const { return buffer_.marked; }

private:
  // No put area: every character reaches overflow or xsputn, so the flush
  // marks land exactly between the characters written before and after.
  struct MarkingBuffer : std::streambuf {
    std::string text;
    std::string marked;

    int_type overflow(int_type c) override {
      if (!traits_type::eq_int_type(c, traits_type::eof())) {
        text += traits_type::to_char_type(c);
        marked += traits_type::to_char_type(c);
      }
      return traits_type::not_eof(c);
    }
    std::streamsize xsputn(const char* s, std::streamsize n) override {
      text.append(s, static_cast<size_t>(n));
      marked.append(s, static_cast<size_t>(n));
      return n;
    }
    int sync() override {
      marked += kFlush;
      return 0;
    }
  };

  MarkingBuffer buffer_;
  std::streambuf* saved_;
};

#endif
