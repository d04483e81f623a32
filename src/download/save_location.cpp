#include "download/save_location.h"
void OnBrowse() {}
