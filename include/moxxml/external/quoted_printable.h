// MoxFilterQuotedPrintable, MoxUnfilterQuotedPrintable: the quoted-printable transfer
// encoding of MIME (RFC 2045 6.7).
#pragma once

#include <cstddef>
#include <string>

#include <moxxml/export.h>
#include <moxxml/external/filter.h>

// Bytes 33 to 126 other than "=" stand for themselves, and so do blanks and tabs unless CRLF
// or the end of the input follows them; every other byte, "=" included, is encoded as "=XX".
// CRLF in the input stays a hard line break, while a lone CR or LF is encoded. Soft line
// breaks ("=" CRLF) keep every line within 76 characters. Holds at most a blank and a CR
// between Update calls.
class MOXXML_EXPORT MoxFilterQuotedPrintable : public MoxStreamProcess {
 public:
  MoxFilterQuotedPrintable();
  MoxFilterQuotedPrintable(const MoxFilterQuotedPrintable& other);
  MoxFilterQuotedPrintable& operator=(const MoxFilterQuotedPrintable& other);
  ~MoxFilterQuotedPrintable() override;

  int Init() override;
  int Update(const char* data, int length) override;
  int Final() override;

 protected:
  int CopyMembers(const MoxStreamProcess& other) override;
  bool Equals(const MoxStreamProcess& other) const override;

 public:
  int Reset() override;
  std::string GetDescription() const override;
  unsigned int GetFilterType() const override;

 private:
  unsigned char heldBlank = 0;  // 0, or the blank whose encoding waits for the next byte
  bool heldCR = false;
  int column = 0;
};

// Decodes leniently and never fails on its input: "=XX" with upper- or lower-case hex gives
// the byte; "=" then blanks then CRLF or LF is a soft break, and so is "=" (with blanks) at
// the end; blanks before a line break or at the end are dropped (RFC 2045 6.7 (3)); line
// breaks come out as they came in (CRLF or LF); any other "=" sequence passes through as it
// stands. Holds at most 80 bytes between Update calls.
class MOXXML_EXPORT MoxUnfilterQuotedPrintable : public MoxStreamProcess {
 public:
  // Longest run of blanks held back to see whether a line break follows; a longer run is
  // written as it stands.
  static constexpr int kMaxHeldBlanks = 76;

  MoxUnfilterQuotedPrintable();
  MoxUnfilterQuotedPrintable(const MoxUnfilterQuotedPrintable& other);
  MoxUnfilterQuotedPrintable& operator=(const MoxUnfilterQuotedPrintable& other);
  ~MoxUnfilterQuotedPrintable() override;

  int Init() override;
  int Update(const char* data, int length) override;
  int Final() override;

 protected:
  int CopyMembers(const MoxStreamProcess& other) override;
  bool Equals(const MoxStreamProcess& other) const override;

 public:
  int Reset() override;
  std::string GetDescription() const override;
  unsigned int GetFilterType() const override;

 private:
  // Take one byte in any state; write at most 2 * kMaxHeldBlanks + 4 bytes from out on and
  // return the end of what they wrote.
  char* Step(unsigned char c, char* out);
  char* Plain(unsigned char c, char* out);
  // Moves the blanks that end out (not before floor) into the held state; returns the new end.
  char* HoldBlanks(char* floor, char* out);

  int state = 0;
  int heldLength = 0;
  unsigned char held[kMaxHeldBlanks] = {};
};
