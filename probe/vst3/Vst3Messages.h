#pragma once
// The messages a component and its controller send each other through the host: a plug-in
// asks the host context for a new IMessage (and IAttributeList) and fills it. Counted
// references, each object deleted with its last release.
#include "probe/vst3/Vst3Abi.h"

// A new message or attribute list for `cid` = `iid`, with one reference for the caller; nothing
// for any other class.
vst3::FUnknown* CreateHostMessageObject(const uint8_t* cid, const uint8_t* iid);
