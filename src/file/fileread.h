// Reading preset records and whole preset files.
//
// Every value that later code uses as an index, a divisor or a loop bound is
// checked here, so that a preset read from any file can be played and edited:
//   fixed part   IsSchedule, BuiltIn 0..10; NumSegments 1..25; per segment
//                NumVoices 1..10, Length 1..1000000, Repeat 1..10000;
//                VisOpt.NumColors 0..32; Name, BackgroundFile and segment
//                names are forced to end in NUL
//   description  up to 4096 bytes with its NUL; 4096 bytes without a NUL are
//                taken as 4095 characters (the last byte is forced to NUL)
//   parameter    NumNodes 2..100, Tracking 0..10, TrackSource 0..175,
//                TrackingMode 0..10, ChannelMode 0..2; a tracking parameter's
//                source must be a parameter the segment has, and tracking
//                chains must not loop
//   node         Weight 0..20, Symmetric 0..10; times non-decreasing from 0
//                (first node) to 10000 (last node)
//   record       it ends exactly where its size field says
// A value outside these is 1316, a short or failed read 1298.
//
// Main thread only.
#pragma once
#include <cstddef>

#include "file/fileformat.h"

// Reads the next live record at the device's position into p, skipping
// deleted records, with its description and curves (committing p's
// description buffer and parameter slots as needed), and gives it Loaded and
// the next value of the use counter as LastUse. At the end of the list
// returns 0 with *atEnd set. On a fault returns the message with p's fixed
// part cleared and its description and parameter block released.
int ReadPresetRecord(ByteDev& dev, Preset& p, bool* atEnd);

// Receives each live preset of a file in order (ordinal counts live presets
// only). The preset and its buffers belong to the reader and are reused for
// the next record; copy what must be kept (CopyPreset).
using PresetSink = void (*)(void* ctx, int ordinal, const Preset& p);

// Parses a whole file: the header, the record walk and every record. Returns
// 0 or the message (1311 for a file of the earlier format); everything the
// reader committed is released before it returns. sink may be null.
int ReadPresetFile(ByteDev& dev, PresetSink sink, void* ctx);
// The same over a file image in memory; never reads outside [data, data+size).
int ReadPresetsFromMemory(const void* data, size_t size, PresetSink sink, void* ctx);
