#include "app/mailing_list.h"

// The class is all in its header; this file gives the meta-object code a home in sales_core.
