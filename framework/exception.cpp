#include "framework/exception.h"
