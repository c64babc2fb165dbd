// MoxFilterBase64, MoxUnfilterBase64: the base64 transfer encoding of MIME (RFC 2045 6.8).
#pragma once

#include <string>

#include <moxxml/export.h>
#include <moxxml/external/filter.h>

// Encodes into lines of 76 characters (the last one may be shorter), each ended by CRLF, the
// last one included; an empty input gives no output. Holds at most two input bytes between
// Update calls.
class MOXXML_EXPORT MoxFilterBase64 : public MoxStreamProcess {
 public:
  MoxFilterBase64();
  MoxFilterBase64(const MoxFilterBase64& other);
  MoxFilterBase64& operator=(const MoxFilterBase64& other);
  ~MoxFilterBase64() override;

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
  unsigned char held[3] = {0, 0, 0};
  int heldLength = 0;
  int column = 0;
};

// Decodes leniently and never fails on its input: characters outside the alphabet (line
// breaks, blanks, junk) are skipped; "=" ends the current group, giving its whole bytes;
// a missing padding is supplied and a lone trailing sextet is dropped. Holds at most three
// sextets between Update calls.
class MOXXML_EXPORT MoxUnfilterBase64 : public MoxStreamProcess {
 public:
  MoxUnfilterBase64();
  MoxUnfilterBase64(const MoxUnfilterBase64& other);
  MoxUnfilterBase64& operator=(const MoxUnfilterBase64& other);
  ~MoxUnfilterBase64() override;

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
  unsigned int bits = 0;
  int sextets = 0;
};
