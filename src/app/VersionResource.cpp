// The program's version block (French, code page 1252), read back by the
// Version button. Its layout is described in platform/VersionResource.h.
namespace {
#define ANNONCIA_STRING(key, value) "\\StringFileInfo\\040c04e4\\" key "\0" value "\0"
[[gnu::used, gnu::section(".annoncia.version")]] const char kVersionBlock[] =
    "\\VarFileInfo\\Translation\0" "040C 04E4\0"
    ANNONCIA_STRING("FileDescription", "")
    ANNONCIA_STRING("CompanyName", "")
    ANNONCIA_STRING("FileVersion", "1.1.0.0")
    ANNONCIA_STRING("InternalName", "")
    ANNONCIA_STRING("LegalCopyRight", "")
    ANNONCIA_STRING("OriginalFileName", "")
    ANNONCIA_STRING("ProductName", "")
    ANNONCIA_STRING("ProductVersion", "1.0.0.0");
#undef ANNONCIA_STRING
}  // namespace
