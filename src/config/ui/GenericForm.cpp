#include "config/ui/GenericForm.h"
