#include "email_row_world.h"

#include <soci/soci.h>

namespace oxsms::email::testing {

EmailRowWorld::EmailRowWorld(Backend backend)
    : backend_(backend), clock_(platform::EncodeDate(2025, 5, 12)), log_(dir_ / "sms.log", clock_) {
  if (backend_ == Backend::kFirebird) {
    firebird_file_ = oxsms::testing::FreshFirebirdFile(dir_, "config.fdb").string();
    available_ = true;
    Configure(connection_);
    Exec("create table IMP_MODULE (ID integer not null primary key, TIPO1 varchar(40), "
         "TIPO2 varchar(40), STRUCT_1 blob sub_type text, STRUCT_2 blob sub_type text, "
         "NUM_AUTOMATICA integer)");
  } else {
    server_ = oxsms::testing::MySqlFromEnvironment();
    if (!server_) return;
    schema_ = std::make_unique<oxsms::testing::ScratchSchema>(*server_, "email");
    available_ = true;
    Configure(connection_);
    Exec("create table IMP_MODULE (ID int not null primary key, TIPO1 varchar(40), "
         "TIPO2 varchar(40), STRUCT_1 longtext, STRUCT_2 longtext, NUM_AUTOMATICA int)");
  }
}

EmailRowWorld::~EmailRowWorld() {
  try {
    connection_.Close();
  } catch (const practice::DatabaseError&) {
    // Nothing of the test is left to commit.
  }
}

void EmailRowWorld::Configure(practice::Connection& c) const {
  if (backend_ == Backend::kFirebird) {
    c.SetDriverName(practice::kDriverFirebird);
    c.SetParam("Database", firebird_file_);
    c.SetParam("User_Name", "SYSDBA");
    c.SetParam("Password", "masterkey");
  } else {
    c.SetDriverName(practice::kDriverMySQL);
    c.SetParam("Server", server_->host);
    c.SetParam("Port", std::to_string(server_->port));
    c.SetParam("User_Name", server_->user);
    c.SetParam("Password", server_->password);
    c.SetParam("Database", schema_->name());
  }
}

std::string EmailRowWorld::LogText() const { return oxsms::testing::ReadFile(log_.file()); }

void EmailRowWorld::Exec(const std::string& statement) {
  practice::Connection c;
  Configure(c);
  c.Session() << statement;
  c.Close();
}

void EmailRowWorld::InsertRow(const std::optional<std::string>& struct1,
                              const std::optional<std::string>& struct2) {
  practice::Connection c;
  Configure(c);
  soci::session& sql = c.Session();
  const char* insert =
      "insert into IMP_MODULE (ID, TIPO1, TIPO2, STRUCT_1, STRUCT_2) values "
      "(22, 'EmailImp', 'EmailMsg', :s1, :s2)";
  soci::indicator i1 = struct1 ? soci::i_ok : soci::i_null;
  soci::indicator i2 = struct2 ? soci::i_ok : soci::i_null;
  if (backend_ == Backend::kFirebird) {
    // The Firebird backend writes a BLOB only from soci::blob.
    soci::blob b1(sql), b2(sql);
    if (struct1 && !struct1->empty()) b1.write(0, struct1->data(), struct1->size());
    if (struct2 && !struct2->empty()) b2.write(0, struct2->data(), struct2->size());
    sql << insert, soci::use(b1, i1), soci::use(b2, i2);
  } else {
    std::string s1 = struct1.value_or(""), s2 = struct2.value_or("");
    sql << insert, soci::use(s1, i1), soci::use(s2, i2);
  }
  c.Close();
}

std::string EmailRowWorld::Column(const std::string& column) {
  practice::Connection c;
  Configure(c);
  std::string value;
  soci::indicator ind = soci::i_null;
  // Text BLOBs come back as text through a cast on Firebird.
  const std::string expression =
      backend_ == Backend::kFirebird && column.rfind("STRUCT_", 0) == 0
          ? "cast(" + column + " as varchar(8000))"
          : column;
  c.Session() << "select " + expression + " from IMP_MODULE where ID = 22", soci::into(value, ind);
  c.Close();
  return ind == soci::i_ok ? value : "";
}

int EmailRowWorld::RowCount() {
  practice::Connection c;
  Configure(c);
  int count = 0;
  c.Session() << "select count(*) from IMP_MODULE where ID = 22", soci::into(count);
  c.Close();
  return count;
}

}  // namespace oxsms::email::testing
