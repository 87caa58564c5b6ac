// Every label object class (the layout stream registers them all).
#pragma once

#include "labelobjects/barcodes.h"
#include "labelobjects/shapes.h"
#include "labelobjects/textlabels.h"
