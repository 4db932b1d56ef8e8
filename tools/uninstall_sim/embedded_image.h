// The default machine image, compiled into the simulator from examples/machines/installed/.
#pragma once

#include "image_source.h"

machine_image::ImageSource DefaultImage();
