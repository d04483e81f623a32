#include "resolve/on_parse.h"
// Placeholder until the resolution subsystem lands.
void OnParse() {}
std::string AudioAddress(const std::string& id) { return std::string("http://") + QZLN_MEDIA_HOST + "/mp3/" + id + ".mp3"; }
