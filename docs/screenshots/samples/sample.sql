-- Orders and their items
create table orders (
  id integer not null primary key,
  customer varchar(80) default 'none',
  total decimal(10, 2),
  created timestamp
);

/* Items of an order,
   one row per product */
create table items (
  order_id integer references orders(id),
  product varchar(40),
  price decimal(8, 2)
);

insert into orders (id, customer, total) values (1, 'O''Brien', 99.5);
insert into items values (1, "widget", 12);

select o.id, o.customer, count(*) as n, sum(i.price) - 1
  from orders o
  inner join items i on i.order_id = o.id
 where o.total between 10 and 200
 group by o.id, o.customer
having count(*) > 2
 order by n desc;
