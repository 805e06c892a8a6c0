#include "platform/mediaprobe.h"

MediaProbe::~MediaProbe() = default;
