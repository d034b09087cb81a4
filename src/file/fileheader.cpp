// The file header: writing, reading and the dispatch on the format version.
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include "file/fileformat.h"
#include "main/strtab.h"
#include "platform/regfile.h"

namespace {

// String 79, "Sonavel File, created with version %d.%d\r\n\x1a", formatted
// with the major and minor version.
constexpr int kHeaderTextId = 79;

void EncodeHeader(const FileHeader& h, unsigned char* out) {
  std::memcpy(out, h.Text, sizeof h.Text);
  PutLE32(out + 124, h.StoreFlag);
  PutLE32(out + 128, h.Version);
  PutLE32(out + 132, static_cast<int32_t>(h.ProgramVersion));
}

void DecodeHeader(const unsigned char* in, FileHeader& h) {
  std::memcpy(h.Text, in, sizeof h.Text);
  h.StoreFlag = GetLE32(in + 124);
  h.Version = GetLE32(in + 128);
  h.ProgramVersion = static_cast<uint32_t>(GetLE32(in + 132));
}

}  // namespace

int WriteMessage(DevWriteResult r) {
  switch (r) {
    case DEV_WRITE_OK: return 0;
    case DEV_WRITE_DISKFULL: return FMSG_DISK_FULL;
    default: return FMSG_WRITE_FAILED;
  }
}

std::string FileMessageText(int id, const std::string& path) {
  std::string text = FormatMsg(id, {path});
  int err = FileOsError();
  if (err && (id == FMSG_WRITE_FAILED || id == FMSG_OPEN_FAILED || id == FMSG_CREATE_FAILED)) {
    std::string reason = plat::ErrorText(err);
    text += " " + reason + ".";
  }
  return text;
}

void MakeFileHeader(FileHeader& h, int storeFlag) {
  std::memset(&h, 0, sizeof h);
  std::string text = FormatPrintf(GetStr(kHeaderTextId), 3, 1);
  std::memcpy(h.Text, text.data(), std::min(text.size(), sizeof h.Text - 1));
  h.StoreFlag = storeFlag;
  h.Version = FILE_VERSION;
  h.ProgramVersion = PROGRAM_VERSION;
}

int WriteFileHeader(ByteDev& dev, int storeFlag) {
  FileHeader h;
  MakeFileHeader(h, storeFlag);
  unsigned char raw[FILE_HEADER_SIZE];
  EncodeHeader(h, raw);
  // A pipe has no position: the header is simply what comes first.
  int64_t at = DevTell(dev);
  if (at < 0 ? errno != ESPIPE : (at != 0 && DevSeek(dev, 0, SEEK_SET) != 0)) return FMSG_WRITE_FAILED;
  return WriteMessage(DevWrite(dev, raw, sizeof raw));
}

int ReadFileHeader(ByteDev& dev, FileHeader* h) {
  unsigned char raw[FILE_HEADER_SIZE];
  if (DevSeek(dev, 0, SEEK_SET) != 0) return FMSG_READ_FAILED;
  if (DevRead(dev, raw, sizeof raw) != FILE_HEADER_SIZE) return FMSG_READ_FAILED;
  FileHeader local;
  if (!h) h = &local;
  DecodeHeader(raw, *h);
  if (h->Version == FILE_VERSION) return 0;
  if (h->Version == OLD_FILE_VERSION) return FMSG_OLD_VERSION;
  if (h->Version > FILE_VERSION && h->Version <= NEWEST_KNOWN_VERSION) return FMSG_NEWER_VERSION;
  return FMSG_NOT_VALID;
}

int OpenPresetFile(ByteDev& dev, const char* path, DevOpenMode mode, int newHeaderStoreFlag, FileHeader* h) {
  if (!DevOpenFile(dev, path, mode)) return FMSG_OPEN_FAILED;
  int r = 0;
  if (newHeaderStoreFlag == 0 || newHeaderStoreFlag == 1) r = WriteFileHeader(dev, newHeaderStoreFlag);
  if (r == 0) r = ReadFileHeader(dev, h);
  if (r != 0) DevClose(dev);
  return r;
}
