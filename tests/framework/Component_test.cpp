#include "framework/core/Component.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// Records its destruction and its end-of-loading step in a shared log.
class LoggingComponent : public Component
{
public:
    LoggingComponent(Component *owner, const std::string &name, std::vector<std::string> &log)
        : Component(owner), m_log(log)
    {
        setName(name);
    }
    ~LoggingComponent() override { m_log.push_back("destroyed " + Name()); }

protected:
    void loaded() override
    {
        m_log.push_back(Name() + (isLoading() ? " still loading" : " loaded"));
    }

private:
    std::vector<std::string> &m_log;
};

} // namespace

TEST(Component, OwnerDestroysItsComponentsLastAddedFirst)
{
    std::vector<std::string> log;
    auto *form = new LoggingComponent(nullptr, "Form", log);
    new LoggingComponent(form, "ComPort1", log);
    auto *timer = new LoggingComponent(form, "Timer1", log);
    new LoggingComponent(form, "Label1", log);
    delete timer; // leaves its owner, which must not free it again
    EXPECT_EQ(form->components().size(), 2u);

    delete form;
    EXPECT_EQ(log, (std::vector<std::string>{"destroyed Timer1", "destroyed Form",
                                             "destroyed Label1", "destroyed ComPort1"}));
}

TEST(Component, EndLoadingClearsTheStateBeforeTheEndOfLoadingStep)
{
    std::vector<std::string> log;
    LoggingComponent port(nullptr, "ComPort1", log);
    port.beginLoading();
    EXPECT_TRUE(port.isLoading());
    port.endLoading();
    EXPECT_FALSE(port.isLoading());
    EXPECT_EQ(log, std::vector<std::string>{"ComPort1 loaded"});
}
