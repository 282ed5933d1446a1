#include "SharedContext.h"

#include "app/AppDelegate.h"
#include "store/ObjectContext.h"

ObjectContext *SharedContext::get()
{
    if (!m_taken) {
        m_taken = true;
        if (AppDelegate *app = AppDelegate::shared())
            m_context = app->managedObjectContext();
    }
    return m_context;
}
