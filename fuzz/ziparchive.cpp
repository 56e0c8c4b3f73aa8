// The zip packager on an existing archive of any bytes: the end record
// search, the central directory and its names. An archive whose directory
// reads is then given one more file by the engine, as a builder does when the
// old archive could not be deleted; when the engine says it added the file,
// the archive must read again and list it.
#include <string>

#include "FuzzSupport.h"
#include "platform/Ansi.h"
#include "xmldoc/Zip.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string archive = fuzz::WriteScratchFile("feed.zip", fuzz::Bytes(data, size));
  xmldoc::TZip zip(nullptr);
  zip.DllDirectory = ANNONCIA_ZIPENGINE_DIR;
  zip.TempDir = fuzz::ScratchFolder();
  try {
    zip.SetZipFileName(archive);
  } catch (const xmldoc::ZipException&) {
    return 0;
  }
  for (const xmldoc::ZipEntryInfo& entry : zip.ArchiveDirectory()) {
    fuzz::Check(platform::IsValidUtf8(entry.FileName) && platform::IsValidUtf8(entry.FileComment),
                "an entry's name or comment is not UTF-8");
  }
  fuzz::Check(platform::IsValidUtf8(zip.ZipComment()), "the archive comment is not UTF-8");

  // Only small archives: the engine rewrites the whole file.
  if (size > 4096) return 0;
  const std::string feed = fuzz::WriteScratchFile("added.xml", "<?xml version=\"1.0\"?><a></a>");
  zip.FileSpecs().push_back(feed);
  std::int32_t added = 0;
  try {
    added = zip.AddFiles();
  } catch (const xmldoc::ZipException&) {
    return 0;
  }
  if (added <= 0) return 0;
  xmldoc::TZip reread(nullptr);
  try {
    reread.SetZipFileName(archive);
  } catch (const xmldoc::ZipException& e) {
    fuzz::Fail(std::string("the archive does not read after an add: ") + e.what());
  }
  bool listed = false;
  for (const xmldoc::ZipEntryInfo& entry : reread.ArchiveDirectory()) listed = listed || entry.FileName == "added.xml";
  fuzz::Check(listed, "the added file is not in the archive's directory");
  return 0;
}
