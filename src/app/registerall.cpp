#include "app/registerall.h"

#include "admin/register.h"
#include "customers/register.h"
#include "design/register.h"
#include "reports/register.h"
#include "visit/register.h"

void registerAllWindows()
{
    register_visit_windows();
    register_design_windows();
    register_customers_windows();
    register_reports_windows();
    register_admin_windows();
}
