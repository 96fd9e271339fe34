#include "standin/engine/tests/engine_fixture.h"

namespace standin::test {
namespace {

class StatementsTest : public EngineTest {};

TEST_F(StatementsTest, Smoke) {
  ok("create table t (id int identity(1,1) primary key, name varchar(10) not null, amt "
     "decimal(18,4) default 0)");
  ok("insert into t (name, amt) values ('a', 1.5), ('B', 2.25)");
  EXPECT_EQ(rows("select id, name, amt from t order by id"),
            (std::vector<std::vector<std::string>>{{"1", "a", "1.5000"}, {"2", "B", "2.2500"}}));
  EXPECT_EQ(scalar("select count(*) from t where name = 'b'"), "1");
}

}  // namespace
}  // namespace standin::test
