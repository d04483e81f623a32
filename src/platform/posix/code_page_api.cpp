#include "platform/code_page_api.h"
// Placeholder until the native conversion lands.
namespace platform {
int MultiByteToWideChar(unsigned, uint32_t, const char*, int, char16_t*, int) { return 0; }
int WideCharToMultiByte(unsigned, uint32_t, const char16_t*, int, char*, int, const char*, bool*) { return 0; }
}
