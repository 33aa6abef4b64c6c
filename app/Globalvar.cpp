#include "Globalvar.h"

QString AppFolder;
QString CurrentDb;
TOptions Options;
