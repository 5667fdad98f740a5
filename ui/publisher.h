// The publisher's web address, in one place: the caption, Label3, the version record's Comments and
// the last log line of a change all use it. Plain preprocessor only, so that the .rc file can include it.
#pragma once
#define KORVANE_PUBLISHER_URL L"www.kv.example"
