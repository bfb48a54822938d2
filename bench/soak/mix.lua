-- wrk script for the soak: each thread (one connection each, -t equal to
-- -c) sends its own session cookie (TABRIX_SOAK_COOKIES, one line each) and
-- a mix over the orders table (code TABRIX_SOAK_CODE, TABRIX_SOAK_ORDERS
-- rows): 5 in 10 list pages (any page, any sort), 3 in 10 record pages and
-- 2 in 10 updates of an order's notes, posted as the update form does.
local cookies = {}
for line in io.lines(os.getenv("TABRIX_SOAK_COOKIES")) do
  cookies[#cookies + 1] = line
end
local code = os.getenv("TABRIX_SOAK_CODE")
local orders = tonumber(os.getenv("TABRIX_SOAK_ORDERS"))
local origin = os.getenv("TABRIX_SOAK_ORIGIN")
local sorts = { "id", "order_date", "ship_city", "freight" }
local next_cookie = 0
local next_seed = 0
local threads = {}

function setup(thread)
  next_cookie = next_cookie % #cookies + 1
  next_seed = next_seed + 1
  thread:set("cookie", cookies[next_cookie])
  thread:set("seed", next_seed)
  threads[#threads + 1] = thread
end

local written = 0
-- Every page of the mix answers 200: a redirect is a session lost to the
-- login page, counted as an error beside wrk's own.
unexpected = 0

function init(args)
  math.randomseed(seed)
  wrk.headers["Cookie"] = cookie
end

function request()
  local pick = math.random(10)
  if pick <= 5 then
    local page = math.random(math.max(1, math.floor(orders / 50)))
    local sort = sorts[math.random(#sorts)]
    local dir = math.random(2) == 1 and "Asc" or "Desc"
    return wrk.format("GET", "/Search.asp?t=" .. code .. "&go=1&p=" .. page .. "&o=" .. sort ..
                      "&o2=" .. dir)
  elseif pick <= 8 then
    return wrk.format("GET", "/Info.asp?t=" .. code .. "&id=" .. math.random(orders))
  end
  written = written + 1
  local body = "go=1&t=" .. code .. "&id=" .. math.random(orders) ..
               "&Checked_notes=Yes&notes=soak+" .. seed .. "+" .. written
  -- Headers given here replace wrk.headers, so the cookie goes again.
  return wrk.format("POST", "/Update.asp", {
    ["Cookie"] = cookie,
    ["Content-Type"] = "application/x-www-form-urlencoded",
    ["Origin"] = origin,
  }, body)
end

function response(status, headers, body)
  if status ~= 200 then unexpected = unexpected + 1 end
end

function done(summary, latency, requests)
  local total = 0
  for _, thread in ipairs(threads) do total = total + thread:get("unexpected") end
  io.write(string.format("Answers other than 200: %d\n", total))
end
