#include "app/Forms.h"

Forms& forms() {
    static Forms all;
    return all;
}
