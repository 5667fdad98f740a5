// The publisher's web address, in one place: the caption, Label3, the version record's Comments and
// the last log line of a change all use it. The .rc file includes it too: the resource compiler sees
// only the macro.
#pragma once
#define KORVANE_PUBLISHER_URL L"www.kv.example"

#ifndef RC_INVOKED
namespace korvane {

constexpr const wchar_t* kPublisherUrl = KORVANE_PUBLISHER_URL;

}  // namespace korvane
#endif
