// The log channel as the configuration service describes it.
#pragma once

// Replaces the channel by one configured by the configuration service (falls back to the
// initial loopback UDP channel at level 8 when the service does not answer).
void RebuildLogChannel();
