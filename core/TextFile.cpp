#include "TextFile.h"

CTextFile::CTextFile() : CTextFile(1) {}
