#include "app/Globalvar.h"

QString AppFolder;
QString CurrentDb;
TOptions Options;
