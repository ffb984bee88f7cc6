#pragma once
// One macro marks what a library exports; everything else is hidden.
#define TIV_EXPORT __attribute__((visibility("default")))
