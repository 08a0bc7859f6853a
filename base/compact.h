#pragma once
// QEV_COMPACT, set by the build to 0 or 1, chooses between the two forms of
// the decoder's hot code. Both decode every input alike; they differ in size
// and speed only.
//   1  the stub's form, built for size: the fast loop takes two literals
//      per refill, the pre-code is read through the reference lookup, the
//      CRC folds four lanes kept in memory, the call search goes 16 bytes at
//      a time and memory moves are string instructions. (Both forms build
//      the fast tables alike, by doubling the main table level by level:
//      224 bytes of the stub over a symbol-by-symbol fill, for some 4 per
//      cent of the stub's decoding speed.)
//   0  the host's form: each of those has its larger, quicker counterpart.
// The stub's build and the Windows tree set 1, the host tree 0; the
// sanitizer tree builds the decoder both ways and runs the decoder's tests
// and the fuzz replays against each.
#if !defined(QEV_COMPACT)
#error "QEV_COMPACT (0 or 1) is set by the build"
#endif
