// nvo_gvar: the application-wide settings of the product, one public field per setting, in the
// product's declaration order and with its initial values. Texts are UTF-8. The object has no
// behaviour: the start-up functions of nvo_function fill some fields, other modules read them.
//
// Creating it only sets the initial values below; destroying it frees nothing else.
// The one instance is the global `gvar`, owned by this module: CreateGvar() makes it (replacing
// and freeing an earlier one), DestroyGvar() frees it and leaves `gvar` null, IsValid(gvar)
// tells whether it exists. Nothing here throws except for allocation failure.
#pragma once

#include <cstdint>
#include <string>

namespace hostrt {
class DataStore;
}

namespace importlib {

class nvo_gvar {
 public:
  nvo_gvar() = default;
  nvo_gvar(const nvo_gvar&) = delete;
  nvo_gvar& operator=(const nvo_gvar&) = delete;

  std::string appname = "快餐 Velmora快餐管理系统V5";
  std::string apptitle = "快餐 Velmora快餐管理系统V5";
  std::string internal_version = "V5 20100601";
  std::int16_t gl_itm_cls_nolen = 2;
  std::int16_t gl_branch_nolen = 2;
  bool system_init = false;
  bool is_sockserver = false;
  bool is_network = true;
  bool is_branch = false;
  bool is_distributed = false;
  std::string is_distributed_model = "1";
  bool remoteaccess = false;
  bool is_highcolor = true;
  bool is_largefont = false;
  std::string appcode = "qdzt";
  std::string initfile = "qdzt.ini";
  std::string appdir = "C:\\Program Files\\qdzt";
  std::string regkey = "HKEY_LOCAL_MACHINE\\SOFTWARE\\qdzt";
  std::string hbdefaultlogid = "qdzt";
  std::string hbdefaultpwd = "rv2417";
  std::string helpfile = "qdzt.chm";
  std::string customername = "Tarsel科技有限公司";
  std::string customerlogo = "resource\\mylogo.gif";
  std::string appid = "qdzt";
  std::string datemask = "YYYY-MM-DD";
  std::string numbermask = "#,###,###,##0.00";
  std::string moneymask = "￥#,###,###,##0.00";
  bool lineno = true;
  std::string g_branch_no = "00";
  std::string g_stock_no = "0001";
  std::string pos_branch_no = "0001";
  bool unified_spec_price = false;
  // A decimal setting that only other modules read; long double holds its two decimal places
  // exactly enough for display and carries no arithmetic here.
  long double report_disc = 1.00L;
  std::int16_t query_day = 30;
  std::int16_t rquery_day = 30;
  std::int16_t order_valid_day = 30;
  std::int16_t yh_valid_day = 30;
  std::int16_t item_valid_day = 0;
  bool rpt_att_save = false;
  bool prompt_approve = false;
  bool prompt_error = false;
  bool prompt_monthsettle = false;
  bool bothapprove = false;
  bool prtafterapprove = false;
  bool prompt_item_dup = false;
  bool prompt_in_avg = false;
  bool prompt_out_avg = false;
  bool prompt_out_maxstock = false;
  std::string gs_item_rem;
  bool processenterkey = false;
  std::int16_t monthsettle_day = 1;
  std::string cost_compute = "0";
  std::string cost_check = "0";
  bool stock_check = true;
  bool pay_atonce = false;
  bool pi_prompt_pay = false;
  bool verify_plu = false;
  bool must_order = false;
  bool rtn_by_sheet = false;
  bool gb_validity_check = false;
  std::string sp_starttime;
  std::string sp_endtime;
  std::int32_t sp_vaild_day = 30;
  std::int32_t sp_item_qty = 0;
  std::int16_t remove_pricetype = 0;
  std::int16_t remove_pricetype1 = 0;
  std::string gs_picpath;
  std::string gs_pictype;
  std::string shift_ctrl;
  std::string counter_ctrl;
  std::string supitem_ctrl;
  std::string gs_plu_freshno = "22";
  std::int32_t gl_plu_freshamt = 100;
  bool gb_modifiy_freshno = false;
  std::int32_t gl_plu_freshqty = 100;
  std::string gs_vip_ictype;
  std::string gs_pdj_type;
  std::string gs_pdj_port;
  std::int16_t gi_baud = 0;
  std::int16_t gi_pdj_sn = 0;
  bool gb_add_function1 = false;
  bool gb_so_qyt_addup = false;
  bool prompt_in_poyh = false;
  bool chang_price_hq = false;
  bool gb_chginprice_hq = false;
  std::string gs_purview;
  std::string gs_plu_id_format = "0";
  std::int16_t gi_weight_len = 0;
  bool gb_daysum_display = false;
  bool gb_connect_bak = false;
  std::string gs_trans_servername;
  std::string gs_dbname;
  bool gs_usetans = false;
  std::string gs_trans_type;
  std::string gs_trans_type_val;
  bool gb_add_function2 = false;
  bool gb_is_displayonly_supname = false;
  bool gb_uniform_saleway = true;
  // A data store of the product's other modules; nothing in this library creates one, and
  // destroying gvar does not free what it points to (it is not owned here).
  hostrt::DataStore* gds_sheet_copy = nullptr;
  std::string gs_branch_price_type;
  bool ib_contract_flag = false;
};

// The global settings object; null until CreateGvar() and after DestroyGvar().
extern nvo_gvar* gvar;

void CreateGvar();
void DestroyGvar();
inline bool IsValid(const nvo_gvar* object) {
  return object != nullptr;
}

}  // namespace importlib
