#pragma once
// Registers the compiled-in resource tree (":/res/...", ":/image/...") of the
// static resources library. Safe to call any number of times; every widget
// of the widgets library calls it before it loads an image, and programs
// that load images without those widgets call it once at start.
void orvaneResourcesInit();
