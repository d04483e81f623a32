#pragma once
#include <string>
// Click on 按钮1: fetch the play page, decode it, extract the track id, show the audio address.
void OnParse();
// "http://" + media host + "/mp3/" + id + ".mp3".
std::string AudioAddress(const std::string& id);
